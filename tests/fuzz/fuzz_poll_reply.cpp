// The status poll's reply.
#include "recharge/statustracker.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString reply = gbkText(data, size);
    const auto records = readStatusReply(reply);
    FUZZ_REQUIRE(records.has_value() == reply.startsWith(QLatin1Char('3')));
    if (!records)
        return 0;
    FUZZ_REQUIRE(records->size() == reply.count(QStringLiteral("</m>")));
    for (const StatusRecord &r : *records) {
        // A field never reaches into the next record.
        for (const QString *v : {&r.rechargeId, &r.status, &r.cardCode})
            FUZZ_REQUIRE(!v->contains(QStringLiteral("</m>")));
    }
    return 0;
}
