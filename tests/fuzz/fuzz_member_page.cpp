// The Taobao member page that names the seller.
#include "shop/shoppages.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString nick = readSellerNick(gbkText(data, size));
    FUZZ_REQUIRE(!nick.contains(QLatin1Char('<')));
    return 0;
}
