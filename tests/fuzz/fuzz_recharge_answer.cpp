// The platform's answer to a recharge request.
#include "orders/rechargeorder.h"
#include "recharge/submission.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const RechargeAnswer a = readRechargeAnswer(gbkText(data, size));
    switch (a.kind) {
    case RechargeAnswer::Accepted:
        // Accepted means a code to hand over or an id to follow the order by.
        FUZZ_REQUIRE(a.status == OrderStatus::Recharged || a.status == OrderStatus::Accepted);
        FUZZ_REQUIRE(a.status != OrderStatus::Recharged || !a.cardCode.isEmpty());
        FUZZ_REQUIRE(a.status != OrderStatus::Accepted || !a.rechargeId.isEmpty());
        FUZZ_REQUIRE(!a.cardCode.contains(QLatin1Char(' ')) &&
                     !a.cardCode.contains(QLatin1Char('-')));
        break;
    case RechargeAnswer::Refused:
        FUZZ_REQUIRE(a.status == OrderStatus::Refunded);
        break;
    default:
        // An answer that cannot be read is neither a success nor a refund.
        FUZZ_REQUIRE(a.status != OrderStatus::Recharged && a.status != OrderStatus::Refunded);
        break;
    }
    return 0;
}
