// Receipts: the layout of the receipt window by its info text, the settings
// file "打印设置", and printing through the print hook to a real PDF, read
// back with poppler's pdftotext.
#include "app/core/gbk.h"
#include "app/core/session.h"
#include "app/core/textfile.h"
#include "orders/form24.h"
#include "orders/form26.h"
#include "orders/printhost.h"
#include "orders/receiptlayout.h"
#include "tests/support/recordingprinthost.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/windowtest.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kInfo34 = QStringLiteral("客户：李四 电话：13900139000 地址：北京市海淀区中关村街");

struct PdfWord
{
    int page;
    QRectF box; // points, from the page's top left
    QString text;
};

// The words of every page, with their boxes, as `pdftotext -bbox` reads them.
std::optional<QList<PdfWord>> pdfWords(const QString &pdf, int *pages)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return std::nullopt;
    QList<PdfWord> words;
    *pages = 0;
    QXmlStreamReader xml(tool.readAllStandardOutput());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"page") {
            ++*pages;
        } else if (xml.name() == u"word") {
            const auto a = xml.attributes();
            const QPointF from(a.value(QStringLiteral("xMin")).toDouble(),
                               a.value(QStringLiteral("yMin")).toDouble());
            const QPointF to(a.value(QStringLiteral("xMax")).toDouble(),
                             a.value(QStringLiteral("yMax")).toDouble());
            words.append({*pages, QRectF(from, to), xml.readElementText()});
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return words;
}

} // namespace

class TestReceipts : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void layouts_data();
    void layouts();
    void settingsLine_data();
    void settingsLine();
    void windowsReadTheSettingsFile();
    void saveTakesOutAmpersandsAndLineBreaks();
    void printsCopiesToPdf();
    void cancelPrintsNothing();
    void previewComesFirst();

private:
    QTemporaryDir m_dir;
};

void TestReceipts::init()
{
    QFile::remove(m_dir.filePath(kReceiptSettingsFile));
    SessionInfoRecord &s = SessionInfo();
    s.brandWord = QStringLiteral("榴帆");
    s.appTitle = QStringLiteral("榴帆综合缴费系统");
}

void TestReceipts::layouts_data()
{
    QTest::addColumn<QString>("info");
    QTest::addColumn<int>("productTop");
    QTest::addColumn<bool>("numberShown");
    QTest::addColumn<int>("numberTop");
    QTest::addColumn<bool>("infoShown");
    QTest::addColumn<int>("infoTop");
    QTest::addColumn<int>("shift");

    // Hidden, the 24-character template still moves the lower block a line.
    QTest::newRow("empty info") << QString() << 1200 << true << 2000 << false << 2295 << 210;
    QTest::newRow("query failed") << kQueryFailedInfo << 1200 << true << 2000 << false << 2295
                                  << 210;
    QTest::newRow("short info") << QStringLiteral("会员8888号码") << 1100 << true << 1800 << true
                                << 2300 << 0;
    QTest::newRow("card code") << QStringLiteral("卡号:1234 密码:5678") << 1400 << false << 1800
                               << true << 2000 << 0;
    QTest::newRow("34 characters") << kInfo34 << 1100 << true << 1800 << true << 2300 << 420;
}

void TestReceipts::layouts()
{
    QFETCH(QString, info);
    QFETCH(int, productTop);
    QFETCH(bool, numberShown);
    QFETCH(int, numberTop);
    QFETCH(bool, infoShown);
    QFETCH(int, infoTop);
    QFETCH(int, shift);
    if (info == kInfo34)
        QCOMPARE(info.size(), 34);

    ReceiptLayout layout;
    // Arranged twice: a receipt after another starts from the design again.
    layout.arrange(kInfo34);
    layout.arrange(info);
    const auto at = [&layout](const char *name) { return layout.element(QString::fromUtf8(name)); };
    QCOMPARE(layout.shift(), shift);
    QCOMPARE(layout.size(), QSize(2640, 4425 + shift));
    QCOMPARE(at("a").rect, QRect(240, 360, 2415, 375));
    QCOMPARE(at("Line1").line, QLine(75, 840, 2545, 840));
    QCOMPARE(at("商品名称").rect, QRect(105, productTop, 2415, 615));
    QCOMPARE(at("充值号码").visible, numberShown);
    QCOMPARE(at("充值号码").rect.topLeft(), QPoint(numberShown ? 105 : 120, numberTop));
    QCOMPARE(at("Label2").visible, infoShown);
    QCOMPARE(at("Label2").rect, QRect(105, infoTop, 2415, 420 + shift));
    if (infoShown)
        QCOMPARE(at("Label2").text, info);
    QCOMPARE(at("Line2").line, QLine(75, 2840, 2545, 2840));
    QCOMPARE(at("充值日期").rect, QRect(75, 2950 + shift, 2535, 495));
    QCOMPARE(at("合计").rect, QRect(960, 3400 + shift, 1575, 375));
    QCOMPARE(at("Command1").rect, QRect(1440, 3670 + shift, 1095, 375));
    QCOMPARE(at("Label1").rect, QRect(120, 4080 + shift, 2415, 255));

    // The window shows the same layout, 15 twips to a pixel.
    DialogPrintHost host;
    Form24 window(host, m_dir.path());
    window.load(info);
    QCOMPARE(window.size(), QSize(176, (4425 + shift) / 15));
    auto *product = window.findChild<QLabel *>(QStringLiteral("商品名称"));
    QCOMPARE(product->geometry(), QRect(7, productTop / 15, 161, 41));
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label2"))->isVisibleTo(&window), infoShown);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label1"))->y(), (4080 + shift) / 15);
    if (QByteArray(QTest::currentDataTag()) == "card code") {
        window.fillOrder(QStringLiteral("13800138000"), QStringLiteral("网易一卡通"),
                         QStringLiteral("30"), QStringLiteral("2026-12-10 18:30:05"));
        QVERIFY(saveWindowPicture(&window, QStringLiteral("receipt-window.png")));
    }
}

void TestReceipts::settingsLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("hasFooter");
    QTest::addColumn<QString>("footer");

    QTest::newRow("title and footer")
        << QStringLiteral("东街通讯-收据&谢谢惠顾") << QStringLiteral("东街通讯-收据") << true
        << QStringLiteral("谢谢惠顾");
    QTest::newRow("no ampersand") << QStringLiteral("东街通讯") << QStringLiteral("东街通讯")
                                  << false << QString();
    QTest::newRow("ampersand in the title")
        << QStringLiteral("张&李通讯&谢谢&再见") << QStringLiteral("张") << true
        << QStringLiteral("李通讯");
    QTest::newRow("empty footer") << QStringLiteral("东街&") << QStringLiteral("东街") << true
                                  << QString();
}

void TestReceipts::settingsLine()
{
    QFETCH(QString, line);
    QFETCH(QString, title);
    QFETCH(bool, hasFooter);
    QFETCH(QString, footer);
    const ReceiptSettings settings = parseReceiptSettings(line);
    QCOMPARE(settings.title, title);
    QCOMPARE(settings.footer.has_value(), hasFooter);
    if (hasFooter)
        QCOMPARE(*settings.footer, footer);
}

void TestReceipts::windowsReadTheSettingsFile()
{
    const QString path = m_dir.filePath(kReceiptSettingsFile);
    DialogPrintHost host;
    const auto receiptTexts = [&] {
        Form24 receipt(host, m_dir.path());
        receipt.load(QString());
        return QStringList{receipt.findChild<QLabel *>(QStringLiteral("a"))->text(),
                           receipt.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                           receipt.windowTitle()};
    };
    const auto settingsTexts = [&] {
        Form26 settings(m_dir.path());
        return QStringList{settings.findChild<QLineEdit *>(QStringLiteral("Text2"))->text(),
                           settings.findChild<QLineEdit *>(QStringLiteral("Text1"))->text(),
                           settings.windowTitle()};
    };

    // No file: the defaults.
    QCOMPARE(receiptTexts(), QStringList({QStringLiteral("榴帆-缴费凭证"),
                                          QStringLiteral("该小票由榴帆综合缴费系统提供"),
                                          QStringLiteral("榴帆综合缴费系统打印管理")}));
    QCOMPARE(settingsTexts(), QStringList({QStringLiteral("榴帆-缴费凭证"),
                                           QStringLiteral("该小票由榴帆综合缴费系统提供"),
                                           QStringLiteral("榴帆综合缴费系统打印设置")}));

    // GBK, the first line only.
    QVERIFY(writeGbkLines(path, {QStringLiteral("东街通讯&欢迎再来"), QStringLiteral("x&y")}));
    QCOMPARE(receiptTexts().mid(0, 2),
             QStringList({QStringLiteral("东街通讯"), QStringLiteral("欢迎再来")}));
    QCOMPARE(settingsTexts().mid(0, 2),
             QStringList({QStringLiteral("东街通讯"), QStringLiteral("欢迎再来")}));

    // Without "&" only the title changes.
    QVERIFY(writeGbkLines(path, {QStringLiteral("东街通讯")}));
    QCOMPARE(
        receiptTexts().mid(0, 2),
        QStringList({QStringLiteral("东街通讯"), QStringLiteral("该小票由榴帆综合缴费系统提供")}));
    QCOMPARE(
        settingsTexts().mid(0, 2),
        QStringList({QStringLiteral("东街通讯"), QStringLiteral("该小票由榴帆综合缴费系统提供")}));
}

void TestReceipts::saveTakesOutAmpersandsAndLineBreaks()
{
    PrompterGuard prompter;
    const QString path = m_dir.filePath(kReceiptSettingsFile);
    Form26 window(m_dir.path());
    auto *text2 = window.findChild<QLineEdit *>(QStringLiteral("Text2"));
    auto *text1 = window.findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *save = window.findChild<QPushButton *>(QStringLiteral("Command1"));
    QCOMPARE(save->text(), QStringLiteral("保存设置"));

    text2->setText(QStringLiteral("东街通讯"));
    text1->setText(QStringLiteral("欢迎再来"));
    save->click();
    QVERIFY(prompter->messages.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), toGbk(QStringLiteral("东街通讯&欢迎再来\r\n")));
    file.close();

    // "&" would move the footer, a line break cut the line: both go, and the
    // agent is told.
    text2->setText(QStringLiteral("张&李\n通讯"));
    text1->setText(QStringLiteral("欢迎\r\n再来&"));
    save->click();
    QCOMPARE(prompter->messages.size(), 1);
    QCOMPARE(prompter->messages[0].title, QStringLiteral("榴帆综合缴费系统提示"));
    QVERIFY(prompter->messages[0].text.contains(QStringLiteral("&")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), toGbk(QStringLiteral("张李通讯&欢迎再来\r\n")));
    QCOMPARE(text2->text(), QStringLiteral("张李通讯"));
    QCOMPARE(text1->text(), QStringLiteral("欢迎再来"));

    DialogPrintHost host;
    Form24 receipt(host, m_dir.path());
    receipt.load(QString());
    QCOMPARE(receipt.findChild<QLabel *>(QStringLiteral("a"))->text(), QStringLiteral("张李通讯"));
    QCOMPARE(receipt.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
             QStringLiteral("欢迎再来"));
}

void TestReceipts::printsCopiesToPdf()
{
    RecordingPrintHost host;
    host.copies = 3;
    host.pdfPath = m_dir.filePath(QStringLiteral("receipt.pdf"));
    QPointer<Form24> window = new Form24(host, m_dir.path());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->load(QStringLiteral("会员8888号码"));
    window->fillOrder(QStringLiteral("13800138000"), QStringLiteral("移动话费充值"),
                      QStringLiteral("50"), QStringLiteral("2026-12-10 18:30:05"));
    window->show();
    const ReceiptLayout layout = window->layout();
    window->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(host.calls, 1);
    QTRY_VERIFY(!window); // printed: the window closes

    int pages = 0;
    const auto words = pdfWords(host.pdfPath, &pages);
    QVERIFY2(words, "pdftotext could not read the PDF");
    QCOMPARE(pages, 3);
    for (int page = 1; page <= 3; ++page) {
        int found = 0;
        for (const ReceiptElement &e : layout.elements()) {
            if (e.kind != ReceiptElement::Kind::Label || !e.visible)
                continue;
            // The first word of the label, where the label starts: twips are
            // 1/20 point.
            const QPointF expected = host.origin + QPointF(e.rect.x(), e.rect.y()) / 20.0;
            bool placed = false;
            for (const PdfWord &w : *words) {
                if (w.page != page || w.text.size() < 2 || !e.text.startsWith(w.text))
                    continue;
                if (qAbs(w.box.left() - expected.x()) < 2.5 && w.box.top() >= expected.y() - 1 &&
                    w.box.top() < expected.y() + e.pointSize)
                    placed = true;
            }
            QVERIFY2(placed, qPrintable(QStringLiteral("page %1: %2 \"%3\" not at its place")
                                            .arg(page)
                                            .arg(e.name, e.text)));
            ++found;
        }
        QCOMPARE(found, 7); // a, 商品名称, 充值号码, Label2, 充值日期, 合计, Label1
        for (const PdfWord &w : *words)
            QVERIFY2(w.text != QStringLiteral("打印"), "the button was printed");
    }

    // For a person to look at: scripts/receipt-picture.sh makes docs/receipt.png of it.
    const QString dir = qEnvironmentVariable("AGENT_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QFile::remove(QDir(dir).filePath(QStringLiteral("receipt.pdf")));
        QVERIFY(QFile::copy(host.pdfPath, QDir(dir).filePath(QStringLiteral("receipt.pdf"))));
    }
}

void TestReceipts::cancelPrintsNothing()
{
    RecordingPrintHost host;
    host.cancel = true;
    host.pdfPath = m_dir.filePath(QStringLiteral("cancelled.pdf"));
    Form24 window(host, m_dir.path());
    window.load(QString());
    window.show();
    auto *command1 = window.findChild<QPushButton *>(QStringLiteral("Command1"));
    command1->click();
    QCOMPARE(host.calls, 1);
    QTest::qWait(50);
    QVERIFY(window.isVisible());
    QVERIFY(command1->isVisible()); // the receipt can still be printed
    QVERIFY(!QFile::exists(host.pdfPath));
}

void TestReceipts::previewComesFirst()
{
    // The real hook: a print preview opens first; closing it prints nothing.
    DialogPrintHost host;
    Form24 window(host, m_dir.path());
    window.load(QString());
    window.show();
    QString seen;
    QTimer::singleShot(0, this, [&seen] {
        waitUntil(
            [] { return qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()); },
            10000);
        if (auto *preview =
                qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget())) {
            seen = preview->windowTitle();
            preview->reject();
        }
    });
    window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(seen, QStringLiteral("榴帆综合缴费系统打印管理"));
    QVERIFY(window.isVisible());
    QVERIFY(window.findChild<QPushButton *>(QStringLiteral("Command1"))->isVisible());
}

AGENT_WINDOW_TEST_MAIN(TestReceipts)
#include "tst_receipts.moc"
