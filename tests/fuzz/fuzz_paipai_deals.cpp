// The Paipai sold-deals answer, and the answer to a mark-shipped request.
#include "shop/shoppages.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString answer = gbkText(data, size);
    const PaipaiAnswer read = readPaipaiAnswer(answer);
    FUZZ_REQUIRE(!read.tradePasswordAsked || read.deals.isEmpty());
    FUZZ_REQUIRE(read.deals.size() <= answer.count(paipaiMarkers().deal));
    for (const ShopOrder &d : read.deals) {
        FUZZ_REQUIRE(d.orderId == d.orderNo);
        FUZZ_REQUIRE(!d.account.contains(QLatin1Char(' ')));
    }
    (void)readPaipaiConsignAnswer(answer);
    return 0;
}
