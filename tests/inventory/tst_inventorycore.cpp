// The goods and card-code logic without widgets: the card-code store against
// real files in a temporary folder (ids, import, the display boxes, export,
// deletion, separators typed into fields, a rewrite cut short by a full
// disk), the reading of the platform's goods page, and the generated codes.
#include "app/core/gbk.h"
#include "inventory/cardcodes.h"
#include "inventory/cardstore.h"
#include "inventory/goodsexport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString kTitle = QStringLiteral("榴帆综合缴费系统");
const QDateTime kStoredAt(QDate(2024, 5, 3), QTime(14, 5, 9));
const QString kStoredAtText = QStringLiteral("2024/5/3 14:05:09");

QByteArray gbkLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += toGbk(line) + "\r\n";
    return bytes;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Sorted by name.
QStringList fileNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QString card(const QString &goods, const QString &number, const QString &password,
             const QString &state)
{
    return QStringList{goods, number, password, state, kStoredAtText}.join(QLatin1Char('|'));
}

// Files written from now on may not grow past limit bytes, as on a full
// disk: a write beyond it fails halfway.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = m_previous;
        lower.rlim_cur = limit;
        m_ok = setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

class TestInventoryCore : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void createsMissingFilesOnly();
    void filesAreGbkWithCrLf();
    void newGoodsIds_data();
    void newGoodsIds();
    void deletedEntryCodesNeverShowUnderANewOne();
    void modifyKeepsEveryOtherLine();
    void separatorsInGoodsFields_data();
    void separatorsInGoodsFields();
    void separatorsInCodesAreRefused();
    void importCards_data();
    void importCards();
    void displayBoxes_data();
    void displayBoxes();
    void exportWithoutCards();
    void exportUnusedThenUsed();
    void exportNames_data();
    void exportNames();
    void deleteGoodsLeavesItsCards();
    void bulkDeleteTakesOnlyThatGoods();
    void interruptedRewrite_data();
    void interruptedRewrite();

    void goodsRows_data();
    void goodsRows();
    void codeCounts_data();
    void codeCounts();
    void generatedCodes();

private:
    QString goodsFile() const { return m_dir->filePath(kGoodsFileName); }
    QString cardFile() const { return m_dir->filePath(kCardFileName); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CardStore> m_store;
};

void TestInventoryCore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<CardStore>(m_dir->path(), kTitle);
}

void TestInventoryCore::createsMissingFilesOnly()
{
    const QByteArray goods = gbkLines({QStringLiteral("1|点卡|addr-a|addr-b")});
    QVERIFY(put(goodsFile(), goods));
    QVERIFY(m_store->createMissingFiles().ok());
    QCOMPARE(contents(goodsFile()), goods);
    QCOMPARE(contents(cardFile()), QByteArray());
}

void TestInventoryCore::filesAreGbkWithCrLf()
{
    QVERIFY(put(goodsFile(), gbkLines({QStringLiteral("1|a|b|c"), QStringLiteral("2|d|e|f")})));
    const GoodsAdded added = m_store->addGoods(
        {QStringLiteral("点卡"), QStringLiteral("addr-a"), QStringLiteral("addr-b")});
    QVERIFY(added.result.ok());
    QCOMPARE(added.id, QStringLiteral("3"));
    QVERIFY(
        m_store
            ->addCard(added.id, QStringLiteral("卡号1"), QStringLiteral("密码1"), false, kStoredAt)
            .ok());
    QCOMPARE(contents(goodsFile()), gbkLines({QStringLiteral("1|a|b|c"), QStringLiteral("2|d|e|f"),
                                              QStringLiteral("3|点卡|addr-a|addr-b")}));
    QCOMPARE(contents(cardFile()), gbkLines({QStringLiteral("3|卡号1|密码1|否|") + kStoredAtText}));
}

void TestInventoryCore::newGoodsIds_data()
{
    QTest::addColumn<QStringList>("goods");
    QTest::addColumn<QStringList>("cards");
    QTest::addColumn<QString>("id");

    QTest::newRow("no files yet") << QStringList{"<none>"} << QStringList{"<none>"} << "1";
    QTest::newRow("empty file") << QStringList{} << QStringList{} << "1";
    QTest::newRow("after 1") << QStringList{"1|a|b|c"} << QStringList{} << "2";
    QTest::newRow("after 1, 2, 3")
        << QStringList{"1|a|b|c", "2|a|b|c", "3|a|b|c"} << QStringList{} << "4";
    QTest::newRow("3 deleted, no codes of it")
        << QStringList{"1|a|b|c", "2|a|b|c"} << QStringList{card("2", "x", "y", "否")} << "3";
    QTest::newRow("3 deleted, its codes stayed")
        << QStringList{"1|a|b|c", "2|a|b|c"} << QStringList{card("3", "x", "y", "否")} << "4";
    QTest::newRow("largest not last") << QStringList{"7|a|b|c", "2|a|b|c"} << QStringList{} << "8";
    QTest::newRow("lines that are no goods")
        << QStringList{"1|a|b|c", "", "notes", "x|no number|b|c"} << QStringList{"garbage"} << "2";
}

void TestInventoryCore::newGoodsIds()
{
    QFETCH(QStringList, goods);
    QFETCH(QStringList, cards);
    QFETCH(QString, id);
    if (goods != QStringList{"<none>"})
        QVERIFY(put(goodsFile(), gbkLines(goods)));
    if (cards != QStringList{"<none>"})
        QVERIFY(put(cardFile(), gbkLines(cards)));

    const GoodsAdded added = m_store->addGoods({"kw", "r", "p"});
    QVERIFY2(added.result.ok(), qPrintable(added.result.error));
    QCOMPARE(added.id, id);
    const auto entries = m_store->goods();
    QVERIFY(entries);
    QCOMPARE(entries->last().id, id);
}

// The store used as the window uses it: 1, 2, 3, a code for 3, 3 deleted.
void TestInventoryCore::deletedEntryCodesNeverShowUnderANewOne()
{
    QVERIFY(m_store->createMissingFiles().ok());
    for (const char *expected : {"1", "2", "3"})
        QCOMPARE(m_store->addGoods({"kw", "r", "p"}).id, QString::fromLatin1(expected));
    QVERIFY(m_store->addCard("3", "C3", "P3", false, kStoredAt).ok());
    QVERIFY(m_store->deleteGoods("3").ok());

    const GoodsAdded added = m_store->addGoods({"new", "r", "p"});
    QCOMPARE(added.id, QStringLiteral("4"));
    QCOMPARE(m_store->cards(added.id, true, true)->size(), 0);
    QCOMPARE(m_store->cards("3", true, true)->size(), 1); // still in the file
}

void TestInventoryCore::modifyKeepsEveryOtherLine()
{
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c", "a note", "2|d|e|f", "3|g|h|i"})));
    QVERIFY(m_store->modifyGoods("2", {QStringLiteral("点卡"), "addr-a", "addr-b"}).ok());
    QCOMPARE(contents(goodsFile()),
             gbkLines({"1|a|b|c", "a note", QStringLiteral("2|点卡|addr-a|addr-b"), "3|g|h|i"}));

    // An id no line has changes nothing.
    const QByteArray before = contents(goodsFile());
    QVERIFY(m_store->modifyGoods("9", {"x", "y", "z"}).ok());
    QCOMPARE(contents(goodsFile()), before);
}

void TestInventoryCore::separatorsInGoodsFields_data()
{
    QTest::addColumn<bool>("modify");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("recharge");
    QTest::addColumn<QString>("purchase");
    QTest::addColumn<QString>("line");

    const QString keyword = QStringLiteral("点|卡\r\n十元");
    const QString recharge = QStringLiteral("http://a.example/x|y\n z");
    const QString purchase = QStringLiteral("http://p.example/ q|r\r\n");
    const QString line = QStringLiteral("|点卡十元|http://a.example/xy z|http://p.example/qr");
    QTest::newRow("add") << false << keyword << recharge << purchase << QStringLiteral("2") + line;
    QTest::newRow("modify") << true << keyword << recharge << purchase
                            << QStringLiteral("1") + line;
    QTest::newRow("plain text stays")
        << false << QStringLiteral("Q币 十元") << QStringLiteral("addr a")
        << QStringLiteral("addr b") << QStringLiteral("2|Q币 十元|addr a|addrb");
}

// A "|" or a line break typed into a field would split its record.
void TestInventoryCore::separatorsInGoodsFields()
{
    QFETCH(bool, modify);
    QFETCH(QString, keyword);
    QFETCH(QString, recharge);
    QFETCH(QString, purchase);
    QFETCH(QString, line);
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c"})));

    const GoodsFields fields{keyword, recharge, purchase};
    if (modify)
        QVERIFY(m_store->modifyGoods("1", fields).ok());
    else
        QVERIFY(m_store->addGoods(fields).result.ok());

    const QStringList expected = modify ? QStringList{line} : QStringList{"1|a|b|c", line};
    QCOMPARE(contents(goodsFile()), gbkLines(expected));
    QCOMPARE(m_store->goods()->size(), expected.size());
}

// A code is stored as typed or not at all.
void TestInventoryCore::separatorsInCodesAreRefused()
{
    QVERIFY(put(cardFile(), gbkLines({card("1", "A1", "P1", "否")})));
    const QByteArray before = contents(cardFile());
    for (const auto &[number, password] :
         {std::pair{QStringLiteral("A|2"), QStringLiteral("P2")},
          std::pair{QStringLiteral("A2"), QStringLiteral("P\r\n2")}}) {
        const StoreResult result = m_store->addCard("1", number, password, false, kStoredAt);
        QCOMPARE(result.outcome, StoreResult::Refused);
        QVERIFY(!result.error.isEmpty());
    }
    QCOMPARE(contents(cardFile()), before);
}

void TestInventoryCore::importCards_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("stored"); // number/password pairs
    QTest::addColumn<int>("skipped");

    QTest::newRow("A1 P1 and B2") << QStringLiteral("A1 P1\r\nB2") << QStringList{"A1", "P1"} << 1;
    QTest::newRow("blank lines are no codes") << QStringLiteral("A1 P1\r\n\r\n   \r\nC3 P3\r\n")
                                              << QStringList{"A1", "P1", "C3", "P3"} << 0;
    QTest::newRow("further words ignored")
        << QStringLiteral("A1 P1 and more") << QStringList{"A1", "P1"} << 0;
    QTest::newRow("blanks of any width, any line end")
        << QStringLiteral("A1   P1\nB2\u3000P2\rC3\tP3")
        << QStringList{"A1", "P1", "B2", "P2", "C3", "P3"} << 0;
    QTest::newRow("a | in a code")
        << QStringLiteral("A|1 P1\nB2 P2") << QStringList{"B2", "P2"} << 1;
    QTest::newRow("nothing readable") << QStringLiteral("one\ntwo") << QStringList{} << 2;
}

void TestInventoryCore::importCards()
{
    QFETCH(QString, text);
    QFETCH(QStringList, stored);
    QFETCH(int, skipped);
    const QStringList before = {card("1", "X", "Y", "是")};
    QVERIFY(put(cardFile(), gbkLines(before)));

    const CardsImported imported = m_store->importCards("2", text, kStoredAt);
    QVERIFY(imported.result.ok());
    QCOMPARE(imported.stored, int(stored.size() / 2));
    QCOMPARE(imported.skipped, skipped);

    QStringList expected = before;
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2)
        expected.append(card("2", stored[i], stored[i + 1], "否"));
    QCOMPARE(contents(cardFile()), gbkLines(expected));
}

void TestInventoryCore::displayBoxes_data()
{
    QTest::addColumn<bool>("showUsed");
    QTest::addColumn<bool>("showUnused");
    QTest::addColumn<QStringList>("numbers");

    QTest::newRow("both") << true << true << QStringList{"U1", "N1", "U2", "odd"};
    QTest::newRow("used only") << true << false << QStringList{"U1", "U2"};
    QTest::newRow("unused only") << false << true << QStringList{"N1"};
    QTest::newRow("neither") << false << false << QStringList{};
}

void TestInventoryCore::displayBoxes()
{
    QFETCH(bool, showUsed);
    QFETCH(bool, showUnused);
    QFETCH(QStringList, numbers);
    QVERIFY(put(cardFile(), gbkLines({card("1", "U1", "p", "是"), card("2", "other", "p", "否"),
                                      card("1", "N1", "p", "否"), "not a card",
                                      card("1", "U2", "p", "是"), card("1", "odd", "p", "?")})));

    const auto cards = m_store->cards("1", showUsed, showUnused);
    QVERIFY(cards);
    QStringList shown;
    for (const CardEntry &c : *cards)
        shown.append(c.number);
    QCOMPARE(shown, numbers);
}

void TestInventoryCore::exportWithoutCards()
{
    QVERIFY(put(cardFile(), gbkLines({card("2", "A", "B", "否")})));
    QVERIFY(m_store->exportCards("1", QStringLiteral("点卡")).ok());
    const QString file = m_dir->filePath(kTitle + QStringLiteral("点卡.txt"));
    QCOMPARE(
        contents(file),
        gbkLines({"-----------未用开始-----------", "", "", "-----------未用结束-----------", "",
                  "-----------已用开始-----------", "", "", "-----------已用结束-----------", ""}));
}

void TestInventoryCore::exportUnusedThenUsed()
{
    const QStringList lines = {card("1", "U1", "p1", "是"), card("1", "N1", "p2", "否"),
                               card("2", "N9", "p9", "否"), card("1", "N2", "p3", "否")};
    QVERIFY(put(cardFile(), gbkLines(lines)));
    const QString file = m_dir->filePath(kTitle + QStringLiteral(".txt"));
    QVERIFY(put(file, "an older export, longer than the new one\r\n"
                      "..................................................\r\n"));

    QVERIFY(m_store->exportCards("1", QString()).ok()); // an empty name: the title alone
    QCOMPARE(contents(file),
             gbkLines({"-----------未用开始-----------", "", lines[1], lines[3], "",
                       "-----------未用结束-----------", "", "-----------已用开始-----------", "",
                       lines[0], "", "-----------已用结束-----------", ""}));
}

void TestInventoryCore::exportNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");

    QTest::newRow("slash") << "a/b" << true;
    QTest::newRow("backslash") << "a\\b" << true;
    QTest::newRow("question mark") << "what?" << true;
    QTest::newRow("two dots") << ".." << true;
    QTest::newRow("climbing out") << "../../x" << true;
    QTest::newRow("tab") << "a\tb" << true;
    QTest::newRow("line break") << "a\r\nb" << true;
    QTest::newRow("chinese and blanks") << "点卡 十元" << false;
    QTest::newRow("dots apart") << "v1.2." << false;
}

// A name that cannot form a file name writes nothing anywhere.
void TestInventoryCore::exportNames()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c"})));
    QVERIFY(put(cardFile(), gbkLines({card("1", "A", "B", "否")})));
    const QByteArray goodsBefore = contents(goodsFile());
    const QByteArray cardsBefore = contents(cardFile());

    const StoreResult result = m_store->exportCards("1", name);
    if (refused) {
        QCOMPARE(result.outcome, StoreResult::Refused);
        QVERIFY(result.error.contains(name));
        QCOMPARE(fileNames(m_dir->path()), (QStringList{kCardFileName, kGoodsFileName}));
    } else {
        QVERIFY2(result.ok(), qPrintable(result.error));
        QVERIFY(QFileInfo::exists(m_dir->filePath(kTitle + name + QStringLiteral(".txt"))));
    }
    QCOMPARE(contents(goodsFile()), goodsBefore);
    QCOMPARE(contents(cardFile()), cardsBefore);
}

void TestInventoryCore::deleteGoodsLeavesItsCards()
{
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c", "not a record", "2|d|e|f"})));
    const QByteArray cards = gbkLines({card("1", "A", "B", "否"), card("2", "C", "D", "是")});
    QVERIFY(put(cardFile(), cards));

    QVERIFY(m_store->deleteGoods("1").ok());
    QCOMPARE(contents(goodsFile()), gbkLines({"2|d|e|f"}));
    QCOMPARE(contents(cardFile()), cards);
}

void TestInventoryCore::bulkDeleteTakesOnlyThatGoods()
{
    QVERIFY(
        put(cardFile(), gbkLines({card("1", "A", "B", "否"), "a note", card("2", "C", "D", "是"),
                                  card("1", "E", "F", "是"), card("12", "G", "H", "否")})));
    QVERIFY(m_store->deleteCards("1").ok());
    QCOMPARE(contents(cardFile()),
             gbkLines({"a note", card("2", "C", "D", "是"), card("12", "G", "H", "否")}));
}

void TestInventoryCore::interruptedRewrite_data()
{
    QTest::addColumn<QString>("command");
    for (const char *command : {"add goods", "modify goods", "delete goods", "add card", "import",
                                "export", "bulk delete"})
        QTest::newRow(command) << QString::fromLatin1(command);
}

// The disk fills up halfway through a rewrite: the store is as it was, no
// half-written file is left, and the command says it failed.
void TestInventoryCore::interruptedRewrite()
{
    QFETCH(QString, command);
    QStringList goods;
    QStringList cards;
    for (int i = 1; i <= 40; ++i) {
        goods.append(QStringLiteral("%1|goods keyword %1|http://recharge.example/%1|"
                                    "http://buy.example/%1")
                         .arg(i));
        cards.append(card(QString::number(i % 4 + 1), QStringLiteral("number-%1").arg(i),
                          QStringLiteral("password-%1").arg(i), i % 3 ? "否" : "是"));
    }
    QVERIFY(put(goodsFile(), gbkLines(goods)));
    QVERIFY(put(cardFile(), gbkLines(cards)));
    const QByteArray goodsBefore = contents(goodsFile());
    const QByteArray cardsBefore = contents(cardFile());
    QVERIFY(goodsBefore.size() > 1000 && cardsBefore.size() > 1000);

    StoreResult result;
    {
        FileSizeLimit limit(256);
        QVERIFY(limit.ok());
        if (command == "add goods")
            result = m_store->addGoods({"kw", "r", "p"}).result;
        else if (command == "modify goods")
            result = m_store->modifyGoods("3", {"kw", "r", "p"});
        else if (command == "delete goods")
            result = m_store->deleteGoods("3");
        else if (command == "add card")
            result = m_store->addCard("3", "N", "P", false, kStoredAt);
        else if (command == "import")
            result = m_store->importCards("3", "A1 P1\nB2 P2", kStoredAt).result;
        else if (command == "export")
            result = m_store->exportCards("3", "export");
        else
            result = m_store->deleteCards("3");
    }
    QCOMPARE(result.outcome, StoreResult::Failed);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(contents(goodsFile()), goodsBefore);
    QCOMPARE(contents(cardFile()), cardsBefore);
    QCOMPARE(fileNames(m_dir->path()), (QStringList{kCardFileName, kGoodsFileName}));
}

void TestInventoryCore::goodsRows_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("goodsPage");
    QTest::addColumn<QStringList>("lines");

    const QString row = QStringLiteral(
        "<TR><TD id=name height=47>%1</TD><TD id=price height=47>%2</TD>"
        "<TD id=key height=47>%3</TD><TD id=status height=47>%4</TD><TD id=ka>%5</TD></TR>");
    QTest::newRow("two rows in page order")
        << QStringLiteral("<TABLE><!-- begin --><TBODY>") +
               row.arg("点卡", "12.50元", "K1", "上架", "自动") +
               row.arg("话费", "49.30元", "K2", "下架", "无") +
               QStringLiteral("<!-- end --></TBODY></TABLE>")
        << true << QStringList{"K1|12.50|上架|自动", "K2|49.30|下架|无"};
    QTest::newRow("rows outside the comments are not goods")
        << row.arg("x", "1元", "OUT", "s", "c") + QStringLiteral("<!-- begin -->") +
               row.arg("y", "2元", "IN", "s", "c") + QStringLiteral("<!-- end -->") +
               row.arg("z", "3元", "OUT2", "s", "c")
        << true << QStringList{"IN|2|s|c"};
    QTest::newRow("no rows") << QStringLiteral("<!-- begin --><!-- end -->") << true
                             << QStringList{};
    QTest::newRow("a price without its unit")
        << QStringLiteral("<!-- begin -->") + row.arg("n", "7", "K", "s", "c") +
               QStringLiteral("<!-- end -->")
        << true << QStringList{"K|7|s|c"};
    QTest::newRow("a row missing a cell keeps the next row")
        << QStringLiteral("<!-- begin --><TR><TD id=name height=47>n</TD>"
                          "<TD id=price height=47>1元</TD><TD id=key height=47>K1</TD></TR>") +
               row.arg("m", "2元", "K2", "s", "c") + QStringLiteral("<!-- end -->")
        << true << QStringList{"K1|1||", "K2|2|s|c"};
    QTest::newRow("separators inside a value")
        << QStringLiteral("<!-- begin -->") + row.arg("n", "1元", "K|1", "on\nsale", "c") +
               QStringLiteral("<!-- end -->")
        << true << QStringList{"K1|1|onsale|c"};
    QTest::newRow("an error page")
        << QStringLiteral("<H1>无法访问此网站</H1>") << false << QStringList{};
    QTest::newRow("a page cut short")
        << QStringLiteral("<!-- begin -->") + row.arg("n", "1元", "K", "s", "c") << false
        << QStringList{};
}

void TestInventoryCore::goodsRows()
{
    QFETCH(QString, body);
    QFETCH(bool, goodsPage);
    QFETCH(QStringList, lines);

    const auto rows = readGoodsRows(body);
    QCOMPARE(rows.has_value(), goodsPage);
    if (!rows)
        return;
    QStringList written;
    for (const GoodsRow &r : *rows)
        written.append(goodsExportLine(r));
    QCOMPARE(written, lines);
}

void TestInventoryCore::codeCounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count"); // -99999 for no number

    QTest::newRow("3") << "3" << 3;
    QTest::newRow("blanks around") << " 200 " << 200;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("half rounds to even") << "2.5" << 2;
    QTest::newRow("largest 16-bit") << "32767" << 32767;
    QTest::newRow("too large") << "32768" << -99999;
    QTest::newRow("empty") << "" << -99999;
    QTest::newRow("words") << "ten" << -99999;
}

void TestInventoryCore::codeCounts()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    const std::optional<int> read = cardCodeCount(text);
    QCOMPARE(read.value_or(-99999), count);
}

void TestInventoryCore::generatedCodes()
{
    QCOMPARE(generateCardCodes(0), QString());
    QCOMPARE(generateCardCodes(-3), QString());
    const QString text = generateCardCodes(3);
    QCOMPARE(text.count(QLatin1Char('\r')), 2);
    QVERIFY(!text.contains(QLatin1Char('\n')));
}

QTEST_GUILESS_MAIN(TestInventoryCore)
#include "tst_inventorycore.moc"
