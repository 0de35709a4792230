#include "app/core/platform.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {

constexpr int kMarkers = 4000;

// A page of 4 Mi characters (about 4 MB as sent): kMarkers order cells, each behind a
// block of filler markup.
const QString &bigPage()
{
    static const QString page = [] {
        const QString filler = QStringLiteral("<tr><td class=x>&nbsp;</td></tr>\n").repeated(30);
        QString text;
        constexpr qsizetype size = 4 * 1024 * 1024;
        text.reserve(size);
        for (int i = 0; i < kMarkers; ++i) {
            text += filler;
            text += QStringLiteral("<td id=order>%1 订单</td>").arg(100000 + i);
        }
        while (text.size() < size)
            text += filler;
        return text;
    }();
    return page;
}

// Every cell of the page, one cut after the other: the cost must grow with the
// fragments read, not with the rest of the page that each cut leaves behind.
void BM_ExtractBetweenWholePage(benchmark::State &state)
{
    const QString &page = bigPage();
    for (auto _ : state) {
        CutText text(page);
        int found = 0;
        while (!ExtractBetween(u"<td id=order>", u"</td>", text).isEmpty())
            ++found;
        if (found != kMarkers)
            state.SkipWithError("wrong number of cells");
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations() * kMarkers);
    state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_ExtractBetweenWholePage)->Unit(benchmark::kMillisecond);

// The QString overload copies what is left after each cut: shown for contrast on
// the first cells only.
void BM_ExtractBetweenQStringFirstCells(benchmark::State &state)
{
    const QString &page = bigPage();
    const auto cuts = state.range(0);
    for (auto _ : state) {
        QString text = page;
        for (qsizetype i = 0; i < cuts; ++i)
            benchmark::DoNotOptimize(ExtractBetween(u"<td id=order>", u"</td>", text));
    }
    state.SetItemsProcessed(state.iterations() * cuts);
}
BENCHMARK(BM_ExtractBetweenQStringFirstCells)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_Md5ShortMixed200(benchmark::State &state)
{
    const QString text = QStringLiteral("13800138000充值50元订单ABC-").repeated(10).left(200);
    for (auto _ : state)
        benchmark::DoNotOptimize(Md5Short(text));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Md5ShortMixed200);

} // namespace

BENCHMARK_MAIN();
