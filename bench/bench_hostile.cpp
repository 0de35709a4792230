#include "app/core/gbk.h"
#include "recharge/catalogue.h"
#include "recharge/statustracker.h"
#include "shop/shoppages.h"

#include <benchmark/benchmark.h>

#include <QString>

// Hostile pages: up to 1 MB of start markers repeated with no end marker, or
// with the one end marker far down at the bottom. A reader that searches the
// rest of the page for every record is quadratic on such a page; the fitted
// complexity (BigO row) of every reader below must come out as N.

namespace {

QString repeated(const QString &unit, qsizetype bytes)
{
    QString out;
    out.reserve(bytes + unit.size());
    while (out.size() < bytes)
        out += unit;
    return out;
}

// Sizes 64 KB to 1 MB, in characters.
void sizes(benchmark::internal::Benchmark *b)
{
    b->RangeMultiplier(4)->Range(64 << 10, 1 << 20)->Complexity(benchmark::oN);
    b->Unit(benchmark::kMillisecond);
}

template<typename Read> void run(benchmark::State &state, const QString &page, Read read)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(read(page));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(state.iterations() * page.size() * 2);
}

// Order blocks that open every field and close none.
void BM_TaobaoOpenBlocks(benchmark::State &state)
{
    const QString page =
        QStringLiteral("<!-- logis start -->") +
        repeated(QStringLiteral("<tbody>order-number\">订单编号：名称：数量：params=\"nick=手机/"
                                "小灵通号码:consign.htm?order_id="),
                 state.range(0)) +
        QStringLiteral("<!-- logis end -->");
    run(state, page, [](const QString &p) { return readTaobaoPage(p); });
}
BENCHMARK(BM_TaobaoOpenBlocks)->Apply(sizes);

// Bare block markers, the one "</TBODY>" at the bottom: every block looks
// for its account labels up to there.
void BM_TaobaoBlocksOneEnd(benchmark::State &state)
{
    const QString page = QStringLiteral("<!-- logis start -->") +
                         repeated(QStringLiteral("<tbody>"), state.range(0)) +
                         QStringLiteral("</TBODY>QQ:<!-- logis end -->");
    run(state, page, [](const QString &p) { return readTaobaoPage(p); });
}
BENCHMARK(BM_TaobaoBlocksOneEnd)->Apply(sizes);

void BM_PaipaiOpenDeals(benchmark::State &state)
{
    const QString page = repeated(QStringLiteral("<Deal><ID><Uin><Name><![CDATA[ <ItemCount>"
                                                 "<Postscript><![CDATA[ "),
                                  state.range(0));
    run(state, page, [](const QString &p) { return readPaipaiAnswer(p); });
}
BENCHMARK(BM_PaipaiOpenDeals)->Apply(sizes);

void BM_PaipaiBareDeals(benchmark::State &state)
{
    const QString page =
        repeated(QStringLiteral("<Deal>"), state.range(0)) + QStringLiteral(" ]]></Postscript>");
    run(state, page, [](const QString &p) { return readPaipaiAnswer(p); });
}
BENCHMARK(BM_PaipaiBareDeals)->Apply(sizes);

void BM_CatalogueOpenRecords(benchmark::State &state)
{
    const QString page = repeated(
        QStringLiteral("<PRODUCT_LIST><PRODUCT_NAME><PRODUCT_JHJ><PRODUCT_HAO><PRODUCT_DW>"),
        state.range(0));
    run(state, page, [](const QString &p) { return 加载商品列表(p); });
}
BENCHMARK(BM_CatalogueOpenRecords)->Apply(sizes);

void BM_CatalogueBareRecords(benchmark::State &state)
{
    const QString page = repeated(QStringLiteral("<PRODUCT_LIST>"), state.range(0)) +
                         QStringLiteral("</PRODUCT_DW>");
    run(state, page, [](const QString &p) { return 加载商品列表(p); });
}
BENCHMARK(BM_CatalogueBareRecords)->Apply(sizes);

// Records that open their fields and close none.
void BM_PollOpenRecords(benchmark::State &state)
{
    const QString page =
        QLatin1Char('3') + repeated(QStringLiteral("<id><status><hw></m>"), state.range(0));
    run(state, page, [](const QString &p) { return readStatusReply(p); });
}
BENCHMARK(BM_PollOpenRecords)->Apply(sizes);

// Empty records, the field tags only at the bottom.
void BM_PollEmptyRecords(benchmark::State &state)
{
    const QString page = QLatin1Char('3') + repeated(QStringLiteral("</m>"), state.range(0)) +
                         QStringLiteral("<id>R1</id><status>1</status><hw></hw>");
    run(state, page, [](const QString &p) { return readStatusReply(p); });
}
BENCHMARK(BM_PollEmptyRecords)->Apply(sizes);

} // namespace

BENCHMARK_MAIN();
