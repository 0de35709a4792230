// The unattended start's command line: it runs only when asked for, and
// refuses what it cannot use before the client starts.
#include "app/ui/unattended.h"

#include <QtTest>

class TestUnattended : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void fullRun();
};

void TestUnattended::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("requested");
    QTest::addColumn<QString>("error"); // empty: usable

    const QStringList login = {"--account", "demo", "--password", "pw"};
    QTest::newRow("normal start") << QStringList{} << false << QString();
    QTest::newRow("normal start with a configuration")
        << QStringList{"--config", "x.ini"} << false << QString();
    QTest::newRow("an option without --unattended")
        << login << false << QStringLiteral("--account 只能和 --unattended 一起用");
    QTest::newRow("a monitor without --unattended")
        << QStringList{"--monitor", "taobao"} << false
        << QStringLiteral("--monitor 只能和 --unattended 一起用");
    QTest::newRow("--unattended without a login")
        << QStringList{"--unattended"} << true
        << QStringLiteral("--unattended 要 --account 和 --password");
    QTest::newRow("a monitor without the transaction password")
        << (QStringList{"--unattended", "--monitor", "paipai"} + login) << true
        << QStringLiteral("--monitor 要 --trade-password：监控只在解锁后开启");
    QTest::newRow("an unknown monitor")
        << (QStringList{"--unattended", "--monitor", "jd"} + login) << true
        << QStringLiteral("--monitor 只认 taobao 或 paipai：jd");
    QTest::newRow("a shop login without a body")
        << (QStringList{"--unattended", "--shop-login", "http://x/login"} + login) << true
        << QStringLiteral("--shop-login 要的是 'URL BODY'：http://x/login");
    QTest::newRow("an interval out of range")
        << (QStringList{"--unattended", "--delivery-ms", "10"} + login) << true
        << QStringLiteral("--delivery-ms 要 50 到 600000 毫秒：10");
    QTest::newRow("a value missing at the end")
        << (login + QStringList{"--unattended", "--workdir"}) << true
        << QStringLiteral("--workdir 后面缺少值");
    QTest::newRow("an argument of someone else's")
        << QStringList{"--seat", "2"} << false << QString();
}

void TestUnattended::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, requested);
    QFETCH(QString, error);
    const UnattendedArguments read =
        parseUnattendedArguments(QStringList{QStringLiteral("agent-client")} + arguments);
    QCOMPARE(read.error, error);
    QCOMPARE(read.requested, requested);
}

void TestUnattended::fullRun()
{
    const UnattendedArguments read = parseUnattendedArguments(
        {"agent-client",     "--unattended",
         "--account",        "demo",
         "--password",       "demo123",
         "--trade-password", "888888",
         "--monitor",        "taobao",
         "--monitor",        "paipai",
         "--shop-login",     "http://127.0.0.1:1/taobao/wuliu/login a=1&b=2",
         "--workdir",        "/tmp/w",
         "--refresh-ms",     "1500",
         "--delivery-ms",    "300",
         "--poll-ms",        "500"});
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    const UnattendedOptions &o = read.options;
    QCOMPARE(o.account, QStringLiteral("demo"));
    QCOMPARE(o.password, QStringLiteral("demo123"));
    QCOMPARE(o.tradePassword, QStringLiteral("888888"));
    QVERIFY(o.taobao && o.paipai);
    QCOMPARE(o.shopLogins,
             QStringList{QStringLiteral("http://127.0.0.1:1/taobao/wuliu/login a=1&b=2")});
    QCOMPARE(o.workDir, QStringLiteral("/tmp/w"));
    QCOMPARE(o.refreshMs, 1500);
    QCOMPARE(o.deliveryMs, 300);
    QCOMPARE(o.pollMs, 500);
}

QTEST_GUILESS_MAIN(TestUnattended)
#include "tst_unattended.moc"
