// The card-code store window driven by its controls, with the store's files
// in a temporary folder: the goods commands, the codes of the selected goods
// entry, the two-click bulk import, the export's name question, and the
// messages of the commands that need a goods entry.
#include "app/core/gbk.h"
#include "app/core/session.h"
#include "inventory/cardstore.h"
#include "inventory/form16.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/windowtest.h"
#include "widgets/keyedlistview.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kTitle = QStringLiteral("榴帆综合缴费系统");
const QString kCancelled = QStringLiteral("<cancelled>");

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

// The texts of every row of a list, cells joined by "/".
QStringList rowsOf(KeyedListView *list)
{
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
        QStringList cells;
        for (const ListColumn &c : list->columns())
            cells << list->text(r, c.key);
        rows << cells.join(QLatin1Char('/'));
    }
    return rows;
}

void clickRow(KeyedListView *list, int row)
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

class TestForm16 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadCreatesTheFilesAndListsTheGoods();
    void goodsCommands();
    void cardCommandsNeedAGoodsEntry_data();
    void cardCommandsNeedAGoodsEntry();
    void addCardAndPickItUp();
    void bulkImportInTwoClicks();
    void importPromptIsNoCode();
    void displayBoxes();
    void exportAsksForAName_data();
    void exportAsksForAName();
    void bulkDelete();

private:
    Form16 *open();
    template<typename T> T *child(const char *name) const
    {
        T *found = m_window->findChild<T *>(QString::fromUtf8(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QString goodsFile() const { return m_dir->filePath(kGoodsFileName); }
    QString cardFile() const { return m_dir->filePath(kCardFileName); }
    void selectGoods(int row);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<Form16> m_window;
};

void TestForm16::init()
{
    resetSessionInfo();
    SessionInfo().appTitle = kTitle;
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_prompter = std::make_unique<PrompterGuard>();
}

void TestForm16::cleanup()
{
    m_window.reset();
    m_prompter.reset();
    m_dir.reset();
}

Form16 *TestForm16::open()
{
    m_window = std::make_unique<Form16>(m_dir->path());
    m_window->show();
    return m_window.get();
}

void TestForm16::selectGoods(int row)
{
    clickRow(child<KeyedListView>("ListView1"), row);
}

void TestForm16::loadCreatesTheFilesAndListsTheGoods()
{
    QVERIFY(put(goodsFile(), gbkLines({QStringLiteral("3|点卡|addr-a|addr-b"), "a note",
                                       "5|话费|addr-c|addr-d"})));
    open();
    QCOMPARE(m_window->windowTitle(), kTitle + QStringLiteral("自存卡密"));
    QCOMPARE(contents(cardFile()), QByteArray());
    QCOMPARE(rowsOf(child<KeyedListView>("ListView1")),
             (QStringList{QStringLiteral("点卡/addr-a/addr-b/3"),
                          QStringLiteral("话费/addr-c/addr-d/5")}));
    QVERIFY(child<KeyedListView>("ListView1")->isColumnHidden(2)); // 平台购买
    QCOMPARE(child<QLineEdit>("Text3")->text(), QStringLiteral("0"));
    QVERIFY(child<QCheckBox>("Check5")->isChecked());
    QVERIFY(child<QCheckBox>("Check6")->isChecked());
    QVERIFY(child<QLabel>("Label6")->isHidden());
}

void TestForm16::goodsCommands()
{
    open();
    auto *text1 = child<QLineEdit>("Text1");
    auto *text2 = child<QLineEdit>("Text2");
    auto *text8 = child<QLineEdit>("Text8");
    auto *goods = child<KeyedListView>("ListView1");

    // A click into a box that still shows its hint empties it.
    QTest::mouseClick(text1, Qt::LeftButton);
    QCOMPARE(text1->text(), QString());
    text1->insert(QStringLiteral("点卡"));
    text2->setText(QStringLiteral("http://r.example/1"));
    text8->setText(QStringLiteral("http://b.example/ 1"));
    child<QPushButton>("Command1")->click();
    QCOMPARE(rowsOf(goods),
             QStringList{QStringLiteral("点卡/http://r.example/1/http://b.example/1/1")});

    selectGoods(0);
    QCOMPARE(child<QLineEdit>("Text3")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLineEdit>("Text7")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLabel>("Label9")->text(), QStringLiteral("商品关键字: 点卡"));

    text1->setText(QStringLiteral("点卡|十元"));
    child<QPushButton>("Command3")->click();
    QCOMPARE(contents(goodsFile()),
             gbkLines({QStringLiteral("1|点卡十元|http://r.example/1|http://b.example/1")}));

    child<QPushButton>("Command11")->click();
    QCOMPARE(goods->rowCount(), 0);
    QCOMPARE(contents(goodsFile()), QByteArray());
    // The deleted entry is no longer selected: codes added now would belong to nothing.
    QCOMPARE(child<QLineEdit>("Text3")->text(), QStringLiteral("0"));
    QVERIFY((*m_prompter)->messages.isEmpty());
}

void TestForm16::cardCommandsNeedAGoodsEntry_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("add card") << "Command8" << kTitle + QStringLiteral("温馨提示")
                              << kSelectGoodsFirst;
    QTest::newRow("bulk import") << "Command2" << kTitle + QStringLiteral("温馨提示")
                                 << kSelectGoodsFirst;
    QTest::newRow("bulk export") << "Command5" << QStringLiteral("省的麻烦")
                                 << kSelectGoodsToExport;
}

void TestForm16::cardCommandsNeedAGoodsEntry()
{
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(QString, text);
    open();
    child<QLineEdit>("Text5")->setText("A1");
    child<QLineEdit>("Text6")->setText("P1");
    auto *button = m_window->findChild<QPushButton *>(command);
    QVERIFY(button);
    if (command == QStringLiteral("Command2"))
        button->click(); // the first click only opens the bulk input
    QVERIFY((*m_prompter)->messages.isEmpty());
    button->click();

    QCOMPARE((*m_prompter)->messages.size(), 1);
    QCOMPARE((*m_prompter)->messages[0].title, title);
    QCOMPARE((*m_prompter)->messages[0].text, text);
    QCOMPARE(contents(cardFile()), QByteArray());
    if (command == QStringLiteral("Command2"))
        QVERIFY(m_window->inBulkInput()); // stays, so the typed codes are not lost
}

void TestForm16::addCardAndPickItUp()
{
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c", "2|d|e|f"})));
    open();
    selectGoods(1);
    child<QLineEdit>("Text5")->setText("N1");
    child<QLineEdit>("Text6")->setText("P1");
    child<QCheckBox>("Check1")->setChecked(true);
    child<QPushButton>("Command8")->click();
    auto *cards = child<KeyedListView>("ListView2");
    QCOMPARE(rowsOf(cards), QStringList{QStringLiteral("N1/P1/是/2")});
    QVERIFY(contents(cardFile()).startsWith(toGbk(QStringLiteral("2|N1|P1|是|"))));

    child<QLineEdit>("Text5")->clear();
    child<QLineEdit>("Text6")->clear();
    child<QCheckBox>("Check1")->setChecked(false);
    clickRow(cards, 0);
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("N1"));
    QCOMPARE(child<QLineEdit>("Text6")->text(), QStringLiteral("P1"));
    QVERIFY(child<QCheckBox>("Check1")->isChecked());
    QCOMPARE(child<QLineEdit>("Text7")->text(), QStringLiteral("2"));

    // An empty number or password adds nothing; a "|" is told and adds nothing.
    const QByteArray before = contents(cardFile());
    child<QLineEdit>("Text6")->clear();
    child<QPushButton>("Command8")->click();
    child<QLineEdit>("Text6")->setText("P|2");
    child<QPushButton>("Command8")->click();
    QCOMPARE(contents(cardFile()), before);
    QCOMPARE((*m_prompter)->messages.size(), 1);
}

void TestForm16::bulkImportInTwoClicks()
{
    QVERIFY(put(goodsFile(), gbkLines({QStringLiteral("1|QQ币十元卡|http://pay.qq.example/|"
                                                      "http://platform.example/buy?id=1"),
                                       QStringLiteral("2|网易一卡通|http://ecard.example/|"
                                                      "http://platform.example/buy?id=2")})));
    open();
    selectGoods(0);
    auto *text4 = child<QPlainTextEdit>("Text4");
    auto *label6 = child<QLabel>("Label6");
    auto *cards = child<KeyedListView>("ListView2");

    child<QPushButton>("Command2")->click();
    QVERIFY(label6->isVisible());
    QVERIFY(text4->isVisible());
    QVERIFY(!cards->isVisible());
    QCOMPARE(text4->toPlainText(), kImportPrompt);
    QTest::mouseClick(text4->viewport(), Qt::LeftButton);
    QCOMPARE(text4->toPlainText(), QString());
    text4->setPlainText(QStringLiteral("A1 P1\nB2"));

    child<QPushButton>("Command2")->click();
    QCOMPARE((*m_prompter)->texts(),
             QStringList{QStringLiteral(
                 "存入了 1 张卡密，跳过了 1 行读不懂的内容（卡号和密码中间空一格）")});
    QCOMPARE((*m_prompter)->messages[0].title, kTitle + QStringLiteral("温馨提示"));
    QVERIFY(label6->isHidden());
    QVERIFY(cards->isVisible());
    QCOMPARE(rowsOf(cards), QStringList{QStringLiteral("A1/P1/否/1")});
    saveWindowPicture(m_window.get(), QStringLiteral("card-store.png"));

    // Label6 leaves the bulk input without storing anything.
    child<QPushButton>("Command2")->click();
    text4->setPlainText(QStringLiteral("C3 P3"));
    QTest::mouseClick(label6, Qt::LeftButton);
    QVERIFY(label6->isHidden());
    QVERIFY(cards->isVisible());
    QCOMPARE(cards->rowCount(), 1);
}

// A second click on an untouched prompt must not store the prompt's two
// words as a code.
void TestForm16::importPromptIsNoCode()
{
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c"})));
    open();
    selectGoods(0);
    child<QPushButton>("Command2")->click();
    child<QPushButton>("Command2")->click();
    QCOMPARE(contents(cardFile()), QByteArray());
    QCOMPARE(child<KeyedListView>("ListView2")->rowCount(), 0);
}

void TestForm16::displayBoxes()
{
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c"})));
    QVERIFY(
        put(cardFile(), gbkLines({"1|U1|p|是|2024/5/3 14:05:09", "1|N1|p|否|2024/5/3 14:05:09"})));
    open();
    selectGoods(0);
    auto *cards = child<KeyedListView>("ListView2");
    auto *check5 = child<QCheckBox>("Check5");
    auto *check6 = child<QCheckBox>("Check6");
    QCOMPARE(cards->rowCount(), 2);
    QTest::mouseClick(check5, Qt::LeftButton);
    QCOMPARE(rowsOf(cards), QStringList{QStringLiteral("N1/p/否/1")});
    QTest::mouseClick(check6, Qt::LeftButton);
    QCOMPARE(cards->rowCount(), 0);
    QTest::mouseClick(check5, Qt::LeftButton);
    QCOMPARE(rowsOf(cards), QStringList{QStringLiteral("U1/p/是/1")});
}

void TestForm16::exportAsksForAName_data()
{
    QTest::addColumn<QString>("answer"); // kCancelled for a cancelled question
    QTest::addColumn<QString>("file");   // empty: nothing written
    QTest::addColumn<bool>("told");

    QTest::newRow("a name") << QStringLiteral("点卡") << kTitle + QStringLiteral("点卡.txt")
                            << false;
    QTest::newRow("cancelled") << kCancelled << QString() << false;
    QTest::newRow("not a file name") << QStringLiteral("a/b") << QString() << true;
}

void TestForm16::exportAsksForAName()
{
    QFETCH(QString, answer);
    QFETCH(QString, file);
    QFETCH(bool, told);
    QVERIFY(put(goodsFile(), gbkLines({QStringLiteral("1|点卡|b|c")})));
    open();
    selectGoods(0);
    (*m_prompter)->inputAnswers = {answer == kCancelled ? std::nullopt
                                                        : std::optional<QString>(answer)};
    child<QPushButton>("Command5")->click();

    QCOMPARE((*m_prompter)->messages[0].kind, QStringLiteral("input"));
    QCOMPARE((*m_prompter)->messages[0].title, QStringLiteral("输入文件名"));
    QCOMPARE((*m_prompter)->messages[0].text, QStringLiteral("文件夹"));
    QCOMPARE((*m_prompter)->messages.size(), told ? 2 : 1);
    QStringList expected = {kGoodsFileName, kCardFileName};
    if (!file.isEmpty())
        expected.append(file);
    expected.sort();
    QStringList present = QDir(m_dir->path()).entryList(QDir::Files);
    present.sort();
    QCOMPARE(present, expected);
}

void TestForm16::bulkDelete()
{
    QVERIFY(put(goodsFile(), gbkLines({"1|a|b|c", "2|d|e|f"})));
    QVERIFY(put(cardFile(), gbkLines({"1|U1|p|是|t", "2|X|p|否|t", "1|N1|p|否|t"})));
    open();
    selectGoods(0);
    QCOMPARE(child<KeyedListView>("ListView2")->rowCount(), 2);
    child<QPushButton>("Command9")->click();
    QCOMPARE(child<KeyedListView>("ListView2")->rowCount(), 0);
    QCOMPARE(contents(cardFile()), gbkLines({"2|X|p|否|t"}));
}

QTEST_MAIN(TestForm16)
#include "tst_form16.moc"
