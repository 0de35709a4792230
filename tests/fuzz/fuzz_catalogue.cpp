// The catalogue answer, and the matching of orders against what it yields.
#include "recharge/catalogue.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString answer = gbkText(data, size);
    const CatalogueListing listing = 加载商品列表(answer);
    FUZZ_REQUIRE(listing.categories.size() <= listing.records.size());
    Catalogue catalogue;
    catalogue.addRecords(listing.records);
    FUZZ_REQUIRE(catalogue.size() == listing.records.size());
    // Every product is offered a manual and a shop order of each of its labels.
    int tried = 0;
    for (const ProductItem &item : listing.records) {
        for (const QString &entry : item.value.split(QLatin1Char('|'))) {
            if (++tried > 64)
                return 0;
            const QString label = entry.section(QLatin1Char('='), 0, 0);
            for (int source : {OrderSource::Manual, OrderSource::Taobao, OrderSource::Paipai}) {
                const auto match = catalogue.判断业务名称(item.name, label, source);
                // A match always names the product the platform recharges.
                FUZZ_REQUIRE(!match || !match->platformProduct.isEmpty());
            }
        }
    }
    return 0;
}
