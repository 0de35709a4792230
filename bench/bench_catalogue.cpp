#include "app/core/platform.h"
#include "recharge/catalogue.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {

constexpr int kProducts = 10'000;

// Categories in runs of 50, as the platform sends them; every name unique, so that
// a shop title naming the first product sent meets only the bottom row.
QString productName(int i)
{
    return QStringLiteral("话费充值产品%1").arg(i, 5, 10, QLatin1Char('0'));
}

QString catalogueAnswer(int products, bool dropAreaEndTag = false)
{
    static const QString categories[] = {QStringLiteral("话费"), QStringLiteral("固话"),
                                         QStringLiteral("Q币"), QStringLiteral("游戏")};
    QString text = QStringLiteral("<html><head><title>商品列表</title></head><body>"
                                  "<div class=\"plist\">\n");
    for (int i = 0; i < products; ++i) {
        text += QStringLiteral("<PRODUCT_LIST>") + categories[(i / 50) % 4] +
                QStringLiteral("</PRODUCT_LIST><PRODUCT_NAME>") + productName(i) +
                QStringLiteral("</PRODUCT_NAME><PRODUCT_JHJ>0.98</PRODUCT_JHJ><PRODUCT_HAO>号") +
                (dropAreaEndTag ? QString() : QStringLiteral("</PRODUCT_HAO>")) +
                QStringLiteral("<PRODUCT_DW>元|10=9.98|20=19.96|30=29.94|50=49.85|100=99.7|"
                               "200=199.4|300=299.1</PRODUCT_DW><br>\n");
    }
    return text + QStringLiteral("</div></body></html>");
}

const QString &bigAnswer()
{
    static const QString text = catalogueAnswer(kProducts);
    return text;
}

const Catalogue &bigCatalogue()
{
    static const Catalogue catalogue = [] {
        Catalogue c;
        c.addRecords(加载商品列表(bigAnswer()).records);
        return c;
    }();
    return catalogue;
}

void BM_ParseCatalogue(benchmark::State &state)
{
    const QString &text = bigAnswer();
    for (auto _ : state) {
        const CatalogueListing listing = 加载商品列表(text);
        if (listing.records.size() != kProducts)
            state.SkipWithError("wrong number of records");
        benchmark::DoNotOptimize(listing);
    }
    state.SetItemsProcessed(state.iterations() * kProducts);
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_ParseCatalogue)->Unit(benchmark::kMillisecond);

// What the load step does: read the answer and fill the table.
void BM_ParseAndLoadCatalogue(benchmark::State &state)
{
    const QString &text = bigAnswer();
    for (auto _ : state) {
        Catalogue catalogue;
        catalogue.addRecords(加载商品列表(text).records);
        if (catalogue.size() != kProducts)
            state.SkipWithError("wrong number of rows");
        benchmark::DoNotOptimize(catalogue);
    }
    state.SetItemsProcessed(state.iterations() * kProducts);
}
BENCHMARK(BM_ParseAndLoadCatalogue)->Unit(benchmark::kMillisecond);

// Every record lacks an end tag: the reading must stay linear in the answer.
void BM_ParseCatalogueMissingEndTags(benchmark::State &state)
{
    const QString text = catalogueAnswer(kProducts, true);
    for (auto _ : state) {
        const CatalogueListing listing = 加载商品列表(text);
        if (listing.records.size() != kProducts)
            state.SkipWithError("wrong number of records");
        benchmark::DoNotOptimize(listing);
    }
    state.SetItemsProcessed(state.iterations() * kProducts);
}
BENCHMARK(BM_ParseCatalogueMissingEndTags)->Unit(benchmark::kMillisecond);

// For contrast: the same broken answer read with a fresh search for every field,
// which rescans the rest of the answer for the missing tag in every record.
void BM_PlainCuttingMissingEndTags(benchmark::State &state)
{
    const auto products = int(state.range(0));
    const QString text = catalogueAnswer(products, true);
    for (auto _ : state) {
        CutText rest(text);
        int records = 0;
        while (rest.view().contains(u"<PRODUCT_LIST>")) {
            benchmark::DoNotOptimize(ExtractBetween(u"<PRODUCT_LIST>", u"</PRODUCT_LIST>", rest));
            benchmark::DoNotOptimize(ExtractBetween(u"<PRODUCT_NAME>", u"</PRODUCT_NAME>", rest));
            benchmark::DoNotOptimize(ExtractBetween(u"<PRODUCT_JHJ>", u"</PRODUCT_JHJ>", rest));
            benchmark::DoNotOptimize(ExtractBetween(u"<PRODUCT_HAO>", u"</PRODUCT_HAO>", rest));
            benchmark::DoNotOptimize(ExtractBetween(u"<PRODUCT_DW>", u"</PRODUCT_DW>", rest));
            ++records;
        }
        if (records != products)
            state.SkipWithError("wrong number of records");
    }
    state.SetItemsProcessed(state.iterations() * products);
}
BENCHMARK(BM_PlainCuttingMissingEndTags)->Arg(1000)->Arg(10'000)->Unit(benchmark::kMillisecond);

// A shop order naming the product sent first: the scan from the top reaches the
// bottom row.
void BM_MatchShopOrderBottomRow(benchmark::State &state)
{
    const Catalogue &catalogue = bigCatalogue();
    const QString title =
        QStringLiteral("【自动充值】") + productName(0) + QStringLiteral(" 50元 秒到账 全国通用");
    for (auto _ : state) {
        const auto match = catalogue.判断业务名称(title, QStringLiteral("49"), OrderSource::Taobao);
        if (!match)
            state.SkipWithError("no match");
        benchmark::DoNotOptimize(match);
    }
}
BENCHMARK(BM_MatchShopOrderBottomRow)->Unit(benchmark::kMicrosecond);

// A shop order that names no product: every row is tried.
void BM_MatchShopOrderNoProduct(benchmark::State &state)
{
    const Catalogue &catalogue = bigCatalogue();
    const QString title = QStringLiteral("【自动充值】联通话费 50元 秒到账 全国通用");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            catalogue.判断业务名称(title, QStringLiteral("49"), OrderSource::Taobao));
}
BENCHMARK(BM_MatchShopOrderNoProduct)->Unit(benchmark::kMicrosecond);

// A manual order names the product exactly.
void BM_MatchManualOrder(benchmark::State &state)
{
    const Catalogue &catalogue = bigCatalogue();
    const QString name = productName(0);
    for (auto _ : state) {
        const auto match = catalogue.判断业务名称(name, QStringLiteral("294"), OrderSource::Manual);
        if (!match)
            state.SkipWithError("no match");
        benchmark::DoNotOptimize(match);
    }
}
BENCHMARK(BM_MatchManualOrder)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
