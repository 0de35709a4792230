#include "app/core/platform.h"
#include "sim/balanceserver.h"
#include "tests/support/simenvironment.h"
#include "tools/agentwebsite.h"
#include "tools/balanceexchange.h"
#include "tools/balancequery.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class TestToolsCore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void cardInfo_data();
    void cardInfo();
    void queryMessage_data();
    void queryMessage();
    void serverList_data();
    void serverList();
    void reply_data();
    void reply();
    void quickQuery_data();
    void quickQuery();

    void exchange_data();
    void exchange();
    void exchangeFailures_data();
    void exchangeFailures();
    void exchangeRunsOneAtATime();

    void agentSiteRequests();
    void agentSiteSettings_data();
    void agentSiteSettings();

private:
    SimEnvironment m_env;
};

void TestToolsCore::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
}

void TestToolsCore::init()
{
    m_env.sim().balanceServer().setReplyMode(sim::BalanceReplyMode::Whole);
    m_env.sim().balanceServer().clearMessages();
}

// What Label3 shows for a typed number, and the area part the query sends.
void TestToolsCore::cardInfo_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("answer"); // of the number-information service, for mobiles
    QTest::addColumn<QString>("label3");
    QTest::addColumn<QString>("area");

    QTest::newRow("029 Xi'an") << "029"
                               << ""
                               << "|陕西省 西安市固定电话"
                               << "s=陕西&y=电信&d=西安";
    QTest::newRow("0298: area code and first digit") << "0298"
                                                     << ""
                                                     << "|陕西省 西安市固定电话"
                                                     << "s=陕西&y=电信&d=西安";
    QTest::newRow("0917: four-digit area code") << "0917"
                                                << ""
                                                << "|陕西省 宝鸡市固定电话"
                                                << "s=陕西&y=电信&d=宝鸡";
    QTest::newRow("010 Beijing, empty city") << "010"
                                             << ""
                                             << "| 北京市固定电话"
                                             << "s=北京&y=电信&d=";
    QTest::newRow("mobile") << "13800138000"
                            << "1380013|广东|深圳|广东移动全球通卡\r\n"
                            << "卡信息：1380013|广东|深圳|广东移动全球通卡"
                            << "s=广东&y=移动&d=";
    QTest::newRow("mobile, Unicom") << "13012345678"
                                    << "1301234|上海|上海|上海联通如意通卡"
                                    << "卡信息：1301234|上海|上海|上海联通如意通卡"
                                    << "s=上海&y=联通&d=";
    QTest::newRow("mobile without a province") << "13700000000"
                                               << "1370000|未知|未知|未知"
                                               << "卡信息：1370000|未知|未知|未知"
                                               << "";
}

void TestToolsCore::cardInfo()
{
    QFETCH(QString, typed);
    QFETCH(QString, answer);
    QFETCH(QString, label3);
    QFETCH(QString, area);
    const PhoneAction action = phoneAction(typed);
    const QString info =
        action == PhoneAction::FixedLine ? fixedLineCardInfo(typed) : mobileCardInfo(answer);
    QCOMPARE(action,
             typed.startsWith(QLatin1Char('0')) ? PhoneAction::FixedLine : PhoneAction::NumberInfo);
    QCOMPARE(info, label3);
    QCOMPARE(queryAreaPart(info), area);
}

void TestToolsCore::queryMessage_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("area");
    QTest::addColumn<QString>("expected"); // up to "&key="

    QTest::newRow("029") << "02988886666"
                         << "s=陕西&y=电信&d=西安"
                         << "ad.asp?hm=02988886666&s=陕西&y=电信&d=西安&dj=3&sj=123.5&key=";
    QTest::newRow("010, empty city") << "01066668888"
                                     << "s=北京&y=电信&d="
                                     << "ad.asp?hm=01066668888&s=北京&y=电信&d=&dj=3&sj=123.5&key=";
    QTest::newRow("mobile without a province") << "13700000000"
                                               << ""
                                               << "ad.asp?hm=13700000000&&dj=3&sj=123.5&key=";
}

void TestToolsCore::queryMessage()
{
    QFETCH(QString, number);
    QFETCH(QString, area);
    QFETCH(QString, expected);
    const QString message = balanceQueryMessage(number, area, QStringLiteral("3"), "123.5");
    QVERIFY2(message.startsWith(expected), qPrintable(message));
    QVERIFY(message.endsWith(QStringLiteral("&&")));
    const QString key = message.mid(expected.size(), message.size() - expected.size() - 2);
    QCOMPARE(key.size(), 16);
    // The signed text is "hm=" … "&dj=3&", read independently by the simulator.
    QCOMPARE(key, sim::balanceQueryKey(message));
    QCOMPARE(key, Md5Short(expected.mid(7, expected.indexOf(QStringLiteral("sj=")) - 7) +
                           QStringLiteral("qorvaxle")));
}

void TestToolsCore::serverList_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("server");
    QTest::newRow("host between the first two &") << "ok&cx.example.com&9009&"
                                                  << "cx.example.com";
    QTest::newRow("one & only") << "ok&cx.example.com"
                                << "";
    QTest::newRow("none") << "服务器忙"
                          << "";
}

void TestToolsCore::serverList()
{
    QFETCH(QString, body);
    QFETCH(QString, server);
    QCOMPARE(readQueryServer(body), server);
}

void TestToolsCore::reply_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<QString>("quick");
    QTest::newRow("success") << "成功|张三|56.30" << true << "张三"
                             << "56.30"
                             << "客户姓名： 张三   客户话费： 56.30";
    QTest::newRow("failure") << "查询失败，没有此号码的资料" << false << ""
                             << ""
                             << "查询失败！";
    QTest::newRow("success word later") << "失败|成功|1" << false << ""
                                        << ""
                                        << "查询失败！";
}

void TestToolsCore::reply()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, name);
    QFETCH(QString, balance);
    QFETCH(QString, quick);
    const BalanceReply r = readBalanceReply(text);
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.name, name);
    QCOMPARE(r.balance, balance);
    QCOMPARE(r.text, text);
    QCOMPARE(quickQueryResult(text), quick);
}

void TestToolsCore::quickQuery_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("region");
    QTest::addColumn<bool>("applies");
    QTest::newRow("Weinan") << "13991301234"
                            << "陕西-渭南" << true;
    QTest::newRow("Shaanxi") << "13991301234"
                             << "陕西省 西安市" << true;
    QTest::newRow("other region") << "13800138000"
                                  << "广东-深圳" << false;
    QTest::newRow("12 digits") << "139913012345"
                               << "陕西-渭南" << false;
    QTest::newRow("not a number") << "1399130123a"
                                  << "陕西-渭南" << false;
}

void TestToolsCore::quickQuery()
{
    QFETCH(QString, number);
    QFETCH(QString, region);
    QFETCH(bool, applies);
    QCOMPARE(quickQueryApplies(number, region), applies);
}

// The exchange against the simulator's balance server over loopback.
void TestToolsCore::exchange_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("reply");

    const QString signedQuery =
        balanceQueryMessage("13800138000", "s=广东&y=移动&d=", QStringLiteral("3"), NewSjValue());
    QTest::newRow("signed query") << signedQuery << int(sim::BalanceReplyMode::Whole)
                                  << "成功|张三|56.30";
    QTest::newRow("reply in two pieces")
        << signedQuery << int(sim::BalanceReplyMode::Pieces) << "成功|张三|56.30";
    QTest::newRow("unknown number")
        << balanceQueryMessage("13700000000", "", QStringLiteral("3"), NewSjValue())
        << int(sim::BalanceReplyMode::Whole) << "查询失败，没有此号码的资料";
    QString badKey = signedQuery;
    badKey.replace(badKey.size() - 18, 16, QStringLiteral("0000000000000000"));
    QTest::newRow("wrong key") << badKey << int(sim::BalanceReplyMode::Whole)
                               << "密钥错误，查询被拒绝";
    QTest::newRow("quick query") << "13991301234" << int(sim::BalanceReplyMode::Whole)
                                 << "成功|李四|12.80";
}

void TestToolsCore::exchange()
{
    QFETCH(QString, message);
    QFETCH(int, mode);
    QFETCH(QString, reply);
    m_env.sim().balanceServer().setReplyMode(sim::BalanceReplyMode(mode));

    BalanceExchange exchange;
    QSignalSpy connected(&exchange, &BalanceExchange::connected);
    QSignalSpy replied(&exchange, &BalanceExchange::replied);
    QSignalSpy failed(&exchange, &BalanceExchange::failed);
    QVERIFY(
        exchange.start(QStringLiteral("127.0.0.1"), quint16(m_env.sim().balancePort()), message));
    QVERIFY(replied.wait(10'000));
    QCOMPARE(replied.size(), 1);
    QCOMPARE(replied.first().first().toString(), reply);
    QVERIFY(failed.isEmpty());
    QCOMPARE(connected.size(), 1);
    QCOMPARE(connected.first().at(1).value<quint16>(), quint16(m_env.sim().balancePort()));
    QVERIFY(!exchange.running());
    // The server got the message byte for byte, then the announced close.
    QTRY_COMPARE(m_env.sim().balanceServer().messages(), QStringList({message, kCloseMessage}));
}

void TestToolsCore::exchangeFailures_data()
{
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("reason");
    QTest::newRow("server never answers") << true << "查询超时，服务器没有回复";
    QTest::newRow("nothing listens") << false << "联接服务器失败：";
}

void TestToolsCore::exchangeFailures()
{
    QFETCH(bool, reachable);
    QFETCH(QString, reason);
    m_env.sim().balanceServer().setReplyMode(sim::BalanceReplyMode::Silent);
    quint16 port = quint16(m_env.sim().balancePort());
    if (!reachable) {
        // A port that was free a moment ago and is closed again.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    BalanceExchange exchange;
    exchange.setTimeoutMs(800);
    QSignalSpy replied(&exchange, &BalanceExchange::replied);
    QSignalSpy failed(&exchange, &BalanceExchange::failed);
    QVERIFY(exchange.start(QStringLiteral("127.0.0.1"), port, QStringLiteral("13800138000")));
    QVERIFY(failed.wait(10'000));
    QVERIFY2(failed.first().first().toString().startsWith(reason),
             qPrintable(failed.first().first().toString()));
    QVERIFY(replied.isEmpty());
    QVERIFY(!exchange.running());
    if (reachable)
        QTRY_COMPARE(m_env.sim().balanceServer().messages().value(1), kCloseMessage);
}

void TestToolsCore::exchangeRunsOneAtATime()
{
    m_env.sim().balanceServer().setReplyMode(sim::BalanceReplyMode::Silent);
    BalanceExchange exchange;
    exchange.setTimeoutMs(800);
    QSignalSpy failed(&exchange, &BalanceExchange::failed);
    const quint16 port = quint16(m_env.sim().balancePort());
    QVERIFY(exchange.start(QStringLiteral("127.0.0.1"), port, QStringLiteral("13800138000")));
    QVERIFY(!exchange.start(QStringLiteral("127.0.0.1"), port, QStringLiteral("13800138000")));
    QVERIFY(failed.wait(10'000));
    QCOMPARE(m_env.sim().balanceServer().messages().count(QStringLiteral("13800138000")), 1);
    // Over, a new one may start.
    m_env.sim().balanceServer().setReplyMode(sim::BalanceReplyMode::Whole);
    QSignalSpy replied(&exchange, &BalanceExchange::replied);
    QVERIFY(exchange.start(QStringLiteral("127.0.0.1"), port, QStringLiteral("13800138000")));
    QVERIFY(replied.wait(10'000));
}

void TestToolsCore::agentSiteRequests()
{
    QCOMPARE(agentSiteAddress("http://site.example/agent/", "10001"),
             QStringLiteral("http://site.example/agent/?id=10001"));
    QCOMPARE(agentWebsitePageUrl("http://site.example/agent/"),
             QStringLiteral("http://site.example/agent/apiwait12.asp"));
    // Digits 9 to 24 of the MD5 of "lumbertoskiva10001".
    QCOMPARE(agentSiteSignature("10001"), QStringLiteral("63ed87a7ed818ef3"));
    QCOMPARE(agentSiteReadBody("10001", "77.5"), QStringLiteral("action=cx&user_id=10001&sj=77.5"));
    QCOMPARE(agentSiteSaveBody(
                 "10001", {"测试 店", "张", "12345", "http://shop.example/?a=1&b=2", ""}, "77.5"),
             QStringLiteral("action=tj&user_id=10001&user_name=%B2%E2%CA%D4%20%B5%EA"
                            "&user_ww=%D5%C5&user_qq=12345"
                            "&user_tb=http%3A%2F%2Fshop%2Eexample%2F%3Fa%3D1%26b%3D2"
                            "&user_pp=&sj=77.5&key=63ed87a7ed818ef3"));
}

void TestToolsCore::agentSiteSettings_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("settings");
    QTest::newRow("exactly five") << "店<|>ww<|>123<|>http://t/<|>http://p/"
                                  << QStringList{"店", "ww", "123", "http://t/", "http://p/"};
    QTest::newRow("more than five")
        << "a<|>b<|>c<|>d<|>e<|>f" << QStringList{"a", "b", "c", "d", "e"};
    QTest::newRow("fewer") << "a<|>b" << QStringList{"a", "b"};
}

void TestToolsCore::agentSiteSettings()
{
    QFETCH(QString, reply);
    QFETCH(QStringList, settings);
    QCOMPARE(readAgentSiteSettings(reply), settings);
}

QTEST_GUILESS_MAIN(TestToolsCore)
#include "tst_toolscore.moc"
