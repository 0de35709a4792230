// A receipt: laying it out for an info text, and printing it to a PDF file,
// one copy and three, as the printer dialog's copies make pages.
#include "orders/receiptlayout.h"
#include "orders/receiptpainter.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryDir>

namespace {

const QString kInfo = QStringLiteral("客户：李四 电话：13900139000 地址：北京市海淀区中关村街");

ReceiptLayout filledReceipt()
{
    ReceiptLayout layout;
    layout.setTitle(ReceiptLayout::defaultTitle(QStringLiteral("榴帆")));
    layout.setFooter(ReceiptLayout::defaultFooter(QStringLiteral("榴帆综合缴费系统")));
    layout.arrange(kInfo);
    layout.fillOrder(QStringLiteral("13800138000"), QStringLiteral("移动话费充值"),
                     QStringLiteral("50"), QStringLiteral("2026-12-10 18:30:05"));
    return layout;
}

void BM_Arrange(benchmark::State &state)
{
    ReceiptLayout layout;
    for (auto _ : state) {
        layout.arrange(kInfo);
        benchmark::DoNotOptimize(layout.shift());
    }
}
BENCHMARK(BM_Arrange);

void BM_PrintToPdf(benchmark::State &state)
{
    QTemporaryDir dir;
    const ReceiptLayout layout = filledReceipt();
    const QString path = dir.filePath(QStringLiteral("receipt.pdf"));
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setCopyCount(int(state.range(0)));
        if (!printReceiptPages(&printer, layout))
            state.SkipWithError("the printer did not start");
    }
    state.counters["pdf_bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_PrintToPdf)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
