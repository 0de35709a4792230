// The balance server's reply, and the server list it is found through.
#include "tests/fuzz/fuzztext.h"
#include "tools/balancequery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString reply = gbkText(data, size);
    const BalanceReply r = readBalanceReply(reply);
    FUZZ_REQUIRE(r.text == reply);
    FUZZ_REQUIRE(r.ok || (r.name.isEmpty() && r.balance.isEmpty()));
    (void)quickQueryResult(reply);
    const QString server = readQueryServer(reply);
    FUZZ_REQUIRE(!server.contains(QLatin1Char('&')));
    return 0;
}
