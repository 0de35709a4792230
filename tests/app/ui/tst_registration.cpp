// The registration window: the field test as a table, then Form3 end to end
// against the simulator's registration pages, with the real hidden browser.
#include "app/core/machineid.h"
#include "app/core/session.h"
#include "app/ui/form3.h"
#include "app/ui/skin.h"
#include "app/web/browser.h"
#include "app/web/webprofile.h"
#include "sim/pages.h"
#include "tests/support/recordinglauncher.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString kCaption = QStringLiteral("榴帆综合缴费系统提醒您");
const QString kFormPath = QStringLiteral("/platform/reg.asp");
const QString kSavePath = QStringLiteral("/platform/regsave.asp");
const QStringList kBoxNames = {"zh",        "mm",       "cmm",  "username", "userqq",
                               "userphone", "usercard", "jymm", "cjymm"};

// Nine texts, in the order of kBoxNames, that pass every check.
QStringList validEntry(const QString &account)
{
    return {account,
            QStringLiteral("pw123"),
            QStringLiteral("pw123"),
            QStringLiteral("张&三"),
            QStringLiteral("10001"),
            QStringLiteral("13800138000"),
            QStringLiteral("110101199001011234"),
            QStringLiteral("666666"),
            QStringLiteral("666666")};
}

} // namespace

class TestRegistration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fieldTest_data();
    void fieldTest();

    void loadsRegistrationPage();
    void failingBoxesAreMarked_data();
    void failingBoxesAreMarked();
    void agreementNotTicked();
    void passwordPairs_data();
    void passwordPairs();
    void clickRestoresSomeBoxes_data();
    void clickRestoresSomeBoxes();
    void registersAnAccount();
    void takenAccountThenSecondAttempt();
    void failedAttempt_data();
    void failedAttempt();
    void links_data();
    void links();
    void registrationWindowPicture();

private:
    Form3 *openForm();
    static QLineEdit *box(Form3 *form, const QString &name);
    static Browser *zc(Form3 *form);
    static void fill(Form3 *form, const QStringList &texts);
    static QStringList texts(Form3 *form);
    static void setAgreement(Form3 *form, bool ticked);
    static void clickRegister(Form3 *form);
    static bool isRed(QLineEdit *box);
    void waitForForm(Form3 *form);
    void waitForAnswer();

    SimEnvironment m_env;
    std::unique_ptr<WorkingDirectory> m_cwd;
    std::unique_ptr<PrompterGuard> m_prompter;
};

void TestRegistration::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
}

void TestRegistration::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    resetSessionInfo();
    // What the login window has set up by the time it opens Form3.
    SessionInfo().brandWord = Brand::word;
    SessionInfo().appTitle = Brand::word + Brand::titleSuffix;
    SessionInfo().machineId = computeMachineId();
    m_cwd = std::make_unique<WorkingDirectory>();
    QVERIFY(attachSkin(m_cwd->path())); // colours are checked under the skin
    m_prompter = std::make_unique<PrompterGuard>();
}

void TestRegistration::cleanup()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form3 *>(w))
            windows.append(w);
    }
    qDeleteAll(windows);
    sim::addRegistrationPages(m_env.sim()); // a test may have replaced one
    setCurrentConfig(m_env.config());
    m_prompter.reset();
    m_cwd.reset();
}

Form3 *TestRegistration::openForm()
{
    auto *form = new Form3;
    form->show();
    return form;
}

QLineEdit *TestRegistration::box(Form3 *form, const QString &name)
{
    auto *b = form->findChild<QLineEdit *>(name);
    if (!b)
        qFatal("no text box %s", qPrintable(name));
    return b;
}

Browser *TestRegistration::zc(Form3 *form)
{
    auto *b = form->findChild<Browser *>(QStringLiteral("zc"));
    if (!b)
        qFatal("no browser zc");
    return b;
}

void TestRegistration::fill(Form3 *form, const QStringList &texts)
{
    for (qsizetype i = 0; i < kBoxNames.size(); ++i) {
        QLineEdit *b = box(form, kBoxNames[i]);
        b->setText(texts.value(i));
        emit b->textEdited(b->text());
    }
}

QStringList TestRegistration::texts(Form3 *form)
{
    QStringList out;
    for (const QString &name : kBoxNames)
        out.append(box(form, name)->text());
    return out;
}

void TestRegistration::setAgreement(Form3 *form, bool ticked)
{
    auto *check1 = form->findChild<QCheckBox *>(QStringLiteral("Check1"));
    QVERIFY(check1);
    check1->setChecked(ticked);
}

void TestRegistration::clickRegister(Form3 *form)
{
    auto *command1 = form->findChild<QPushButton *>(QStringLiteral("Command1"));
    QVERIFY(command1);
    QCOMPARE(command1->text(), QStringLiteral("注册"));
    QTest::mouseClick(command1, Qt::LeftButton);
}

bool TestRegistration::isRed(QLineEdit *box)
{
    box->ensurePolished();
    return box->palette().color(QPalette::Text) == Form3::failedColour;
}

void TestRegistration::waitForForm(Form3 *form)
{
    Browser *browser = zc(form);
    QTRY_VERIFY_WITH_TIMEOUT(
        !browser->isLoading() && browser->title() == QStringLiteral("用户注册"), 30000);
}

void TestRegistration::waitForAnswer()
{
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);
}

void TestRegistration::fieldTest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<bool>("fails");
    QTest::newRow("plain") << "abc123"
                           << "abc123" << false;
    QTest::newRow("chinese") << "张三"
                             << "张三" << false;
    QTest::newRow("full stop") << "a.b"
                               << "ab" << true;
    QTest::newRow("space") << "a b"
                           << "ab" << true;
    QTest::newRow("apostrophe") << "o'k"
                                << "ok" << true;
    QTest::newRow("question mark") << "why?"
                                   << "why" << true;
    QTest::newRow("parentheses") << "(x)1"
                                 << "x1" << true;
    QTest::newRow("angle brackets") << "<b>"
                                    << "b" << true;
    QTest::newRow("every forbidden one") << "'?().<> "
                                         << "" << true;
    QTest::newRow("other punctuation passes") << "a,b!@#&-_"
                                              << "a,b!@#&-_" << false;
    QTest::newRow("the field message") << kFieldMessage << kFieldMessage << true;
    QTest::newRow("empty") << ""
                           << "" << true;
}

void TestRegistration::fieldTest()
{
    QFETCH(QString, text);
    QFETCH(QString, checked);
    QFETCH(bool, fails);
    QCOMPARE(Form3::check(text), checked);
    QCOMPARE(Form3::fieldFails(text), fails);
}

void TestRegistration::loadsRegistrationPage()
{
    Form3 *form = openForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("榴帆综合缴费系统注册"));
    auto *label1 = form->findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(label1);
    QCOMPARE(label1->text(), QStringLiteral(" 登录帐号："));
    QCOMPARE(form->flag(), 0);
    QVERIFY(zc(form)->view() == nullptr); // hidden
    waitForForm(form);

    const auto loads = m_env.requestsTo(kFormPath);
    QCOMPARE(loads.size(), 1);
    static const QRegularExpression address(
        QStringLiteral("^/platform/reg\\.asp\\?sj=([0-9.]+)&hardware=(.*)$"));
    const auto match = address.match(loads[0].target);
    QVERIFY2(match.hasMatch(), qPrintable(loads[0].target));
    const double sj = match.captured(1).toDouble();
    QVERIFY(sj >= 50 && sj <= 1050);
    QCOMPARE(match.captured(2), computeMachineId());
    QVERIFY((**m_prompter).messages.isEmpty()); // the load itself reports nothing
}

void TestRegistration::failingBoxesAreMarked_data()
{
    QTest::addColumn<QStringList>("entry");
    QTest::addColumn<QStringList>("failing");
    QTest::newRow("all empty") << QStringList(9, QString()) << kBoxNames;

    QStringList some = validEntry(QStringLiteral("newagent"));
    some[0] = QStringLiteral("a.b");   // zh
    some[3] = QStringLiteral("张 三"); // username
    some[6] = QString();               // usercard
    QTest::newRow("first, middle and late boxes")
        << some << QStringList{"zh", "username", "usercard"};

    QStringList marked = validEntry(QStringLiteral("newagent"));
    marked[8] = kFieldMessage; // cjymm left showing the message of an earlier attempt
    marked[7] = kFieldMessage;
    QTest::newRow("boxes still showing the message") << marked << QStringList{"jymm", "cjymm"};
}

void TestRegistration::failingBoxesAreMarked()
{
    QFETCH(QStringList, entry);
    QFETCH(QStringList, failing);
    Form3 *form = openForm();
    waitForForm(form);
    fill(form, entry);
    setAgreement(form, true);
    clickRegister(form);

    for (qsizetype i = 0; i < kBoxNames.size(); ++i) {
        QLineEdit *b = box(form, kBoxNames[i]);
        if (failing.contains(kBoxNames[i])) {
            QVERIFY2(b->text() == kFieldMessage, qPrintable(kBoxNames[i]));
            QVERIFY2(isRed(b), qPrintable(kBoxNames[i]));
            // A password box shows the message readably.
            QVERIFY2(b->echoMode() == QLineEdit::Normal, qPrintable(kBoxNames[i]));
        } else {
            QVERIFY2(b->text() == entry[i], qPrintable(kBoxNames[i]));
            QVERIFY2(!isRed(b), qPrintable(kBoxNames[i]));
        }
    }
    QCOMPARE(form->flag(), 1);
    QVERIFY(!form->attemptPending());
    QVERIFY((**m_prompter).messages.isEmpty());
    QTest::qWait(300);
    QCOMPARE(m_env.requestsTo(kFormPath).size(), 1); // only the load
    QVERIFY(m_env.requestsTo(kSavePath).isEmpty());
}

void TestRegistration::agreementNotTicked()
{
    Form3 *form = openForm();
    waitForForm(form);
    QStringList entry = validEntry(QStringLiteral("newagent"));
    entry[6] = QStringLiteral("1101.01"); // usercard: still marked before the message
    fill(form, entry);
    setAgreement(form, false);
    clickRegister(form);

    QCOMPARE((**m_prompter).messages.size(), 1);
    QCOMPARE((**m_prompter).messages[0].title, kCaption);
    QCOMPARE((**m_prompter).messages[0].text, QStringLiteral("协议没有打钩！"));
    QCOMPARE(box(form, QStringLiteral("usercard"))->text(), kFieldMessage);
    QCOMPARE(box(form, QStringLiteral("zh"))->text(), QStringLiteral("newagent"));

    QTest::qWait(300);
    QCOMPARE(m_env.requestsTo(kFormPath).size(), 1);
    QVERIFY(m_env.requestsTo(kSavePath).isEmpty());
    QVERIFY(!form->attemptPending());
}

void TestRegistration::passwordPairs_data()
{
    QTest::addColumn<QString>("cmm");
    QTest::addColumn<QString>("cjymm");
    QTest::addColumn<QStringList>("red");
    QTest::newRow("both pairs differ") << "pw124"
                                       << "777777" << QStringList{"mm", "cmm"};
    QTest::newRow("trade passwords differ") << "pw123"
                                            << "777777" << QStringList{"jymm", "cjymm"};
}

void TestRegistration::passwordPairs()
{
    QFETCH(QString, cmm);
    QFETCH(QString, cjymm);
    QFETCH(QStringList, red);
    Form3 *form = openForm();
    waitForForm(form);
    QStringList entry = validEntry(QStringLiteral("newagent"));
    entry[2] = cmm;
    entry[8] = cjymm;
    fill(form, entry);
    setAgreement(form, true);
    clickRegister(form);

    QCOMPARE(texts(form), entry); // nothing is replaced by the message
    for (const QString &name : kBoxNames)
        QVERIFY2(isRed(box(form, name)) == red.contains(name), qPrintable(name));
    QVERIFY((**m_prompter).messages.isEmpty());
    QVERIFY(!form->attemptPending());
    QTest::qWait(300);
    QCOMPARE(m_env.requestsTo(kFormPath).size(), 1);
    QVERIFY(m_env.requestsTo(kSavePath).isEmpty());
}

void TestRegistration::clickRestoresSomeBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("restored");
    for (const char *name : {"zh", "mm", "cmm", "username", "userqq", "userphone"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    for (const char *name : {"usercard", "jymm", "cjymm"})
        QTest::newRow(name) << QString::fromLatin1(name) << false;
}

void TestRegistration::clickRestoresSomeBoxes()
{
    QFETCH(QString, name);
    QFETCH(bool, restored);
    Form3 *form = openForm();
    fill(form, QStringList(9, QString()));
    setAgreement(form, true);
    clickRegister(form);
    QLineEdit *b = box(form, name);
    QCOMPARE(b->text(), kFieldMessage);
    const bool secret = QStringList{"mm", "cmm", "jymm", "cjymm"}.contains(name);

    QTest::mouseClick(b, Qt::LeftButton);
    if (restored) {
        QCOMPARE(b->text(), QString());
        QVERIFY(!isRed(b));
        QCOMPARE(b->palette().color(QPalette::Text), Form3::normalColour);
    } else {
        QCOMPARE(b->text(), kFieldMessage);
        QVERIFY(isRed(b));
        // Editing it away is the only way.
        b->selectAll();
        QTest::keyClicks(b, QStringLiteral("x1"));
        QCOMPARE(b->text(), QStringLiteral("x1"));
    }
    QCOMPARE(b->echoMode(), secret ? QLineEdit::Password : QLineEdit::Normal);
    // The other boxes keep their marks.
    for (const QString &other : kBoxNames) {
        if (other != name)
            QVERIFY2(box(form, other)->text() == kFieldMessage, qPrintable(other));
    }
}

void TestRegistration::registersAnAccount()
{
    Form3 *form = openForm();
    waitForForm(form);
    const QStringList entry = validEntry(QStringLiteral("新代理01"));
    fill(form, entry);
    setAgreement(form, true);
    clickRegister(form);
    QVERIFY(form->attemptPending());
    QVERIFY(!form->findChild<QPushButton *>(QStringLiteral("Command1"))->isEnabled());
    waitForAnswer();

    QCOMPARE((**m_prompter).messages.size(), 1);
    QCOMPARE((**m_prompter).messages[0].title, kCaption);
    QCOMPARE((**m_prompter).messages[0].text, QStringLiteral("注册成功！"));
    QCOMPARE(texts(form), QStringList(9, QString()));
    QVERIFY(!form->attemptPending());
    QVERIFY(form->findChild<QPushButton *>(QStringLiteral("Command1"))->isEnabled());

    const auto account = m_env.sim().account(QStringLiteral("新代理01"));
    QVERIFY(account.has_value());
    QCOMPARE(account->password, QStringLiteral("pw123"));
    QCOMPARE(account->tradePassword, QStringLiteral("666666"));
    QCOMPARE(account->userName, QStringLiteral("张&三"));

    // A fresh form was loaded for the attempt, and one form went out in GBK
    // with the values of the boxes, '&' escaped.
    const auto loads = m_env.requestsTo(kFormPath);
    QCOMPARE(loads.size(), 2);
    QVERIFY2(loads[1].target.contains(QStringLiteral("&hardware=") + computeMachineId()),
             qPrintable(loads[1].target));
    const auto posts = m_env.requestsTo(kSavePath);
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts[0].method, QStringLiteral("POST"));
    QVERIFY2(posts[0].body.contains("zh=%D0%C2%B4%FA%C0%ED01&"), posts[0].body.constData());
    QVERIFY2(posts[0].body.contains("username=%D5%C5%26%C8%FD&"), posts[0].body.constData());
    const auto form1 = sim::parseUrlEncoded(posts[0].body);
    const QStringList sent = {"zh", "mm", "username", "userqq", "userphone", "usercard", "jymm"};
    for (const QString &field : sent)
        QVERIFY2(form1.value(field) == entry[kBoxNames.indexOf(field)], qPrintable(field));
}

void TestRegistration::takenAccountThenSecondAttempt()
{
    Form3 *form = openForm();
    waitForForm(form);
    QStringList entry = validEntry(QStringLiteral("demo"));
    fill(form, entry);
    setAgreement(form, true);
    clickRegister(form);
    waitForAnswer();
    QCOMPARE((**m_prompter).texts(), QStringList{QStringLiteral("该帐号已经存在！")});
    QCOMPARE(texts(form), entry); // kept for a correction
    QCOMPARE(m_env.sim().account(QStringLiteral("demo"))->password, QStringLiteral("demo123"));

    // zc now holds the answer page; the next attempt still finds a form.
    box(form, QStringLiteral("zh"))->setText(QStringLiteral("agent2"));
    clickRegister(form);
    QTRY_COMPARE_WITH_TIMEOUT((**m_prompter).messages.size(), 2, 30000);
    QCOMPARE((**m_prompter).messages[1].text, QStringLiteral("注册成功！"));
    QVERIFY(m_env.sim().account(QStringLiteral("agent2")).has_value());
    QCOMPARE(texts(form), QStringList(9, QString()));
    QCOMPARE(m_env.requestsTo(kFormPath).size(), 3);
    QCOMPARE(m_env.requestsTo(kSavePath).size(), 2);
}

void TestRegistration::failedAttempt_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>(
        "trouble");                 // "drop", or the page replaced by "no form" / "stuck form"
    QTest::addColumn<bool>("sent"); // the form reached the platform
    QTest::addColumn<QString>("message");
    QTest::newRow("form page unreachable")
        << "agent3" << kFormPath << "drop" << false
        << QStringLiteral("注册失败：无法连接平台服务器，请检查网络后重试");
    QTest::newRow("form page without the form")
        << "agent4" << kFormPath << "no form" << false
        << QStringLiteral("注册失败：平台的注册页面暂时不可用，请稍后重试");
    QTest::newRow("form that never goes out")
        << "agent5" << kFormPath << "stuck form" << false
        << QStringLiteral("平台没有给出注册结果。注册可能已经完成，"
                          "请先用该帐号登录试试，再决定是否重新注册");
    QTest::newRow("answer unreachable")
        << "agent6" << kSavePath << "drop" << true
        << QStringLiteral("没有收到平台的注册结果：无法连接平台服务器。注册可能已经完成，"
                          "请先用该帐号登录试试，再决定是否重新注册");
}

void TestRegistration::failedAttempt()
{
    QFETCH(QString, account);
    QFETCH(QString, path);
    QFETCH(QString, trouble);
    QFETCH(bool, sent);
    QFETCH(QString, message);
    Form3 *form = openForm();
    waitForForm(form);
    if (trouble == QLatin1String("drop")) {
        m_env.sim().setFault(path, {sim::FaultKind::Drop, 0});
    } else if (trouble == QLatin1String("no form")) {
        m_env.sim().addPage(path, [](const sim::Request &, sim::State &) {
            return sim::Page::html(QStringLiteral("系统维护中"), QStringLiteral("<p>请稍后</p>"));
        });
    } else {
        // Every field is there, but a page script keeps the form from going
        // out; the attempt gives up after the transfer timeout.
        ClientConfig config = m_env.config();
        config.transferTimeoutMs = 2000;
        setCurrentConfig(config);
        m_env.sim().addPage(path, [](const sim::Request &, sim::State &) {
            QString inputs;
            for (const char *id :
                 {"zh", "mm", "username", "userqq", "userphone", "usercard", "jymm"})
                inputs += QStringLiteral("<input type=\"text\" id=\"%1\" name=\"%1\">")
                              .arg(QLatin1String(id));
            return sim::Page::html(
                QStringLiteral("用户注册"),
                QStringLiteral("<form method=\"post\" action=\"regsave.asp\" "
                               "onsubmit=\"return false\">") +
                    inputs +
                    QStringLiteral("<input type=\"submit\" id=\"Submit\" value=\"ok\"></form>"));
        });
    }
    const QStringList entry = validEntry(account);
    fill(form, entry);
    setAgreement(form, true);
    clickRegister(form);
    waitForAnswer();
    QCOMPARE((**m_prompter).messages.size(), 1);
    QCOMPARE((**m_prompter).messages[0].title, kCaption);
    QCOMPARE((**m_prompter).messages[0].text, message);
    QCOMPARE(texts(form), entry);
    // The browser may send a post again on a dropped connection by itself.
    QCOMPARE(!m_env.requestsTo(kSavePath).isEmpty(), sent);
    QVERIFY(!m_env.sim().account(account).has_value());
    QVERIFY(!form->attemptPending());

    // Once the platform is back, the same boxes register.
    m_env.sim().clearFaults();
    sim::addRegistrationPages(m_env.sim());
    setCurrentConfig(m_env.config());
    clickRegister(form);
    QTRY_COMPARE_WITH_TIMEOUT((**m_prompter).messages.size(), 2, 30000);
    QCOMPARE((**m_prompter).messages[1].text, QStringLiteral("注册成功！"));
    QVERIFY(m_env.sim().account(account).has_value());
}

void TestRegistration::links_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::newRow("agreement") << "Label13"
                               << "shownews.asp?id=192" << QStringLiteral("用户协议");
    QTest::newRow("self-service activation") << "Label20"
                                             << "BuyCard_Step1.asp" << QStringLiteral("自助开通");
}

void TestRegistration::links()
{
    QFETCH(QString, label);
    QFETCH(QString, page);
    QFETCH(QString, title);
    LauncherGuard launcher;
    Form3 *form = openForm();
    auto *link = form->findChild<QLabel *>(label);
    QVERIFY(link);
    QTest::mouseClick(link, Qt::LeftButton);
    const QString url = m_env.sim().platformUrl() + page;
    QCOMPARE(launcher->urls, QStringList{url});
    QVERIFY((**m_prompter).messages.isEmpty());

    // The page is there for the system browser to show.
    Browser browser;
    QSignalSpy loaded(&browser, &Browser::documentComplete);
    browser.navigate(url);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 30000);
    QCOMPARE(browser.title(), title);
}

void TestRegistration::registrationWindowPicture()
{
    Form3 *form = openForm();
    waitForForm(form);
    QStringList entry = validEntry(QStringLiteral("newagent"));
    entry[3] = QStringLiteral("张 三"); // a blank fails the check
    fill(form, entry);
    setAgreement(form, true);
    clickRegister(form);
    QCOMPARE(box(form, QStringLiteral("username"))->text(), kFieldMessage);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QVERIFY(saveWindowPicture(form, QStringLiteral("registration-window.png")));
}

AGENT_WINDOW_TEST_MAIN(TestRegistration)

#include "tst_registration.moc"
