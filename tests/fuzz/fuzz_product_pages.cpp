// The manual panel's product pages: the business list and a business's products.
#include "recharge/manualrecharge.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString page = utf8Text(data, size);
    (void)readBusinessList(page);
    const QList<ManualProduct> products = readProductPage(page);
    FUZZ_REQUIRE(products.size() <= kMaxManualProducts);
    for (const ManualProduct &p : products) {
        const AmountChoices choices = amountChoices(p);
        FUZZ_REQUIRE(choices.amounts.size() == choices.costs.size());
        FUZZ_REQUIRE(choices.amounts.size() <= kMaxManualAmounts);
        for (const QString &cost : choices.costs)
            (void)formatPurchasePrice(cost);
    }
    return 0;
}
