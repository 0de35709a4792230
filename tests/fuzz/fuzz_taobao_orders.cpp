// The Taobao seller's order list, and the answer to a consign request.
#include "shop/shoppages.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString page = gbkText(data, size);
    const TaobaoPage read = readTaobaoPage(page);
    FUZZ_REQUIRE(read.orders.size() <= page.count(taobaoMarkers().block));
    for (const ShopOrder &o : read.orders) {
        FUZZ_REQUIRE(!o.account.contains(QLatin1Char(' ')));
        FUZZ_REQUIRE(!o.area.contains(QLatin1Char(' ')));
    }
    (void)readTaobaoConsignAnswer(page);
    return 0;
}
