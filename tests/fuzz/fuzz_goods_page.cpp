// The platform's goods page, and the export lines made of it.
#include "inventory/goodsexport.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto rows = readGoodsRows(utf8Text(data, size));
    if (!rows)
        return 0;
    for (const GoodsRow &row : *rows) {
        // One line of four fields, whatever the cells hold.
        const QString line = goodsExportLine(row);
        FUZZ_REQUIRE(line.count(QLatin1Char('|')) == 3);
        FUZZ_REQUIRE(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));
    }
    return 0;
}
