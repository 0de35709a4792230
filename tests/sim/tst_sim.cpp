#include "sim/platformsim.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using sim::FaultKind;

namespace {

QByteArray gbk(const QString &s)
{
    return QStringEncoder("GBK").encode(s);
}

QString fromGbk(const QByteArray &b)
{
    return QStringDecoder("GBK").decode(b);
}

struct Answer
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0; // 0: no status line came
    QByteArray body;
    QByteArray contentType;
    qint64 contentLength = -1;
    QByteArray setCookie;
};

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void login_data();
    void login();
    void sessionKeyPerLogin();
    void versionPage();
    void decoding_data();
    void decoding();
    void requestLog();
    void faults_data();
    void faults();
    void stopDuringDelay();
    void takenPort();
    void writeConfig();
    void cookies();
    void bigAndEmpty();

private:
    // A request over loopback as the client makes it; target is appended to
    // the root URL without re-encoding.
    Answer fetch(const QString &target, const QByteArray &method = "GET",
                 const QByteArray &body = {}, QNetworkAccessManager *nam = nullptr);

    sim::PlatformSim m_sim;
    QNetworkAccessManager m_nam;
};

Answer TestSim::fetch(const QString &target, const QByteArray &method, const QByteArray &body,
                      QNetworkAccessManager *nam)
{
    QNetworkRequest request(QUrl::fromEncoded((m_sim.rootUrl() + target.mid(1)).toLatin1()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply *reply = (nam ? nam : &m_nam)->sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20'000, reply, &QNetworkReply::abort); // a hang fails, not blocks
    if (!reply->isFinished())
        loop.exec();
    Answer a;
    a.error = reply->error();
    a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    a.body = reply->readAll();
    a.contentType = reply->rawHeader("Content-Type");
    if (reply->hasRawHeader("Content-Length"))
        a.contentLength = reply->rawHeader("Content-Length").toLongLong();
    a.setCookie = reply->rawHeader("Set-Cookie");
    reply->deleteLater();
    return a;
}

void TestSim::initTestCase()
{
    QVERIFY(m_sim.start(0) > 0);
    QVERIFY(m_sim.rootUrl().startsWith(QLatin1String("http://127.0.0.1:")));
    auto add = [this](const QString &name, const QString &password) {
        sim::Account a = sim::PlatformSim::demoAccount();
        a.account = name;
        a.password = password;
        a.userId = QStringLiteral("2001");
        a.userName = QStringLiteral("测试") + name;
        m_sim.addAccount(a);
    };
    add(QStringLiteral("gbk"), QStringLiteral("a&b+c#中"));
    add(QStringLiteral("plus"), QStringLiteral("x+y"));
    add(QStringLiteral("blank"), QStringLiteral("a b"));
    add(QStringLiteral("代理"), QStringLiteral("pw"));
}

void TestSim::cleanup()
{
    m_sim.clearFaults();
    m_sim.clearRequests();
}

void TestSim::login_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("account"); // the account logged in, empty on failure
    QTest::addColumn<QString>("title");

    const QString ok = QStringLiteral("登陆成功！");
    QTest::newRow("demo") << "zh=demo&mm=demo123"
                          << "demo" << ok;
    QTest::newRow("wrong password") << "zh=demo&mm=demo124"
                                    << ""
                                    << "密码错误！";
    QTest::newRow("unknown account") << "zh=nobody&mm=x"
                                     << ""
                                     << "帐号不存在！";
    QTest::newRow("missing password") << "zh=demo"
                                      << ""
                                      << "参数错误！";
    QTest::newRow("missing account") << "mm=demo123"
                                     << ""
                                     << "参数错误！";
    QTest::newRow("escaped gbk password") << "zh=gbk&mm=a%26b%2Bc%23%D6%D0"
                                          << "gbk" << ok;
    QTest::newRow("bare plus stays plus") << "zh=plus&mm=x+y"
                                          << "plus" << ok;
    QTest::newRow("plus is no blank") << "zh=blank&mm=a+b"
                                      << ""
                                      << "密码错误！";
    QTest::newRow("gbk account name") << "zh=%B4%FA%C0%ED&mm=pw"
                                      << "代理" << ok;
}

void TestSim::login()
{
    QFETCH(QString, query);
    QFETCH(QString, account);
    QFETCH(QString, title);

    const Answer a =
        fetch("/platform/index1.asp?action=dl&" + query + "&sj=612.0853&hardware=1A2B3C4D");
    QCOMPARE(a.error, QNetworkReply::NoError);
    QCOMPARE(a.status, 200);
    QCOMPARE(a.contentType, QByteArray("text/html; charset=gbk"));
    QVERIFY2(a.body.contains("<title>" + gbk(title) + "</title>"), a.body.constData());
    if (account.isEmpty())
        return;

    const std::optional<sim::Account> acc = m_sim.account(account);
    QVERIFY(acc);
    const QString key = m_sim.lastSessionKey(account);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(key).hasMatch());
    const QList<QPair<QString, QString>> fields = {
        {"sessionkey", key},
        {"username", acc->userName},
        {"usermoney", acc->balance},
        {"userdjmoney", acc->frozenFunds},
        {"userid", acc->userId},
        {"usersj", acc->level},
        {"jkx_yjsxmoney", acc->bonusCommission},
        {"jkx_yjspmoney", acc->salesCommission},
    };
    const QString body = fromGbk(a.body);
    qsizetype from = body.indexOf(QLatin1String("<body>"));
    QVERIFY(from > 0);
    for (const auto &[name, value] : fields) {
        const QString marker = "?" + name + "?=" + value + "?@?";
        const qsizetype at = body.indexOf(marker, from);
        QVERIFY2(at >= 0, qPrintable(marker + " after " + body.mid(from)));
        from = at + marker.size();
    }
}

void TestSim::sessionKeyPerLogin()
{
    const QString target = "/platform/index1.asp?action=dl&zh=demo&mm=demo123&sj=50&hardware=0";
    QCOMPARE(fetch(target).status, 200);
    const QString first = m_sim.lastSessionKey("demo");
    const Answer second = fetch(target);
    const QString key = m_sim.lastSessionKey("demo");
    QVERIFY(!first.isEmpty());
    QVERIFY(key != first);
    QVERIFY(second.body.contains("?sessionkey?=" + key.toLatin1() + "?@?"));
    QVERIFY(m_sim.isValidSession(first));
    QVERIFY(m_sim.isValidSession(key));
    QVERIFY(!m_sim.isValidSession("0123456789abcdef0123456789abcdef"));
}

void TestSim::versionPage()
{
    const QByteArray address = m_sim.rootUrl().toLatin1() + "download/agent-client";
    const QByteArray expected =
        "<html><head><title>1.5</title></head><body>" + address + "</body></html>";
    QCOMPARE(fetch("/platform/down1.html?sj=612.0853&hardware=0").body, expected);
    m_sim.setVersionTitle("1.6");
    const Answer newer = fetch("/platform/down1.html?sj=51&hardware=0");
    m_sim.setVersionTitle("1.5");
    QVERIFY(newer.body.startsWith("<html><head><title>1.6</title></head><body>" + address));
}

void TestSim::decoding_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QByteArray>("form");
    QTest::addColumn<QString>("seen");

    QTest::newRow("gbk query") << "k=%D6%D0%CE%C4&p=a+b%2B" << QByteArray() << "q k=中文;q p=a+b+;";
    QTest::newRow("escaped structure in form")
        << "" << QByteArray("v=x%26y%3Dz%25&w=%B2%E2%20%0D%0A") << "f v=x&y=z%;f w=测 \r\n;";
    QTest::newRow("repeated key and stray percent")
        << "sj=1&sj=2" << QByteArray("v=100%&x=%4") << "q sj=1;q sj=2;f v=100%;f x=%4;";
}

void TestSim::decoding()
{
    QFETCH(QString, query);
    QFETCH(QByteArray, form);
    QFETCH(QString, seen);

    m_sim.addPage("/t/decode", [](const sim::Request &r, sim::State &) {
        QString out;
        for (const QString &key : r.query.uniqueKeys()) {
            const QStringList values = r.query.values(key);
            for (const QString &v : values)
                out += "q " + key + "=" + v + ";";
        }
        for (auto it = r.form.cbegin(); it != r.form.cend(); ++it)
            out += "f " + it.key() + "=" + it.value() + ";";
        return sim::Page::text(out);
    });
    const Answer a = fetch("/t/decode?" + query, form.isEmpty() ? "GET" : "POST", form);
    QCOMPARE(fromGbk(a.body), seen);
}

void TestSim::requestLog()
{
    QNetworkRequest get(QUrl::fromEncoded(m_sim.rootUrl().toLatin1() + "empty?a=%D6%D0&b=1+2"));
    get.setRawHeader("X-Probe", "one");
    QNetworkReply *reply = m_nam.get(get);
    QTRY_VERIFY(reply->isFinished());
    reply->deleteLater();

    // Longer than the 8 kB that httplib itself would accept as a form.
    const QByteArray body = "a=" + QByteArray(9000, 'x') + "&b=%D6%D0";
    const Answer echo = fetch("/echo?x=1", "POST", body);
    QCOMPARE(echo.body, "POST /echo?x=1\n" + body);

    const QList<sim::LoggedRequest> log = m_sim.requests();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0].method, "GET");
    QCOMPARE(log[0].target, "/empty?a=%D6%D0&b=1+2");
    QVERIFY(log[0].headers.contains({"X-Probe", "one"}));
    QCOMPARE(log[1].method, "POST");
    QCOMPARE(log[1].target, "/echo?x=1");
    QCOMPARE(log[1].body, body);
    QVERIFY(log[1].headers.contains({"Content-Type", "application/x-www-form-urlencoded"}));

    const Answer json = fetch("/__sim/requests");
    const QJsonArray list = QJsonDocument::fromJson(json.body).array();
    QCOMPARE(list.size(), 2); // the control paths are never logged
    QCOMPARE(list[0]["target"].toString(), log[0].target);
    QCOMPARE(QByteArray::fromBase64(list[1]["bodyBase64"].toString().toLatin1()), body);
    QCOMPARE(list[1]["body"].toString(), QString::fromLatin1(body));

    m_sim.setFault("/empty", {FaultKind::Error500});
    QCOMPARE(fetch("/__sim/reset", "POST").status, 200);
    QVERIFY(m_sim.requests().isEmpty());
    QCOMPARE(fetch("/empty").status, 200); // the fault went with the reset
}

void TestSim::faults_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("viaHttp"); // empty: set in-process

    QTest::newRow("delay") << int(FaultKind::Delay) << "";
    QTest::newRow("drop") << int(FaultKind::Drop) << "";
    QTest::newRow("500") << int(FaultKind::Error500) << "";
    QTest::newRow("garbage") << int(FaultKind::Garbage) << "";
    QTest::newRow("truncate") << int(FaultKind::Truncate) << "";
    QTest::newRow("run, then drop") << int(FaultKind::RunThenDrop) << "";
    QTest::newRow("run, then drop over http") << int(FaultKind::RunThenDrop) << "rundrop";
    QTest::newRow("delay over http") << int(FaultKind::Delay) << "delay";
    QTest::newRow("drop over http") << int(FaultKind::Drop) << "drop";
    QTest::newRow("truncate over http") << int(FaultKind::Truncate) << "truncate";
    QTest::newRow("500 over http") << int(FaultKind::Error500) << "500";
}

void TestSim::faults()
{
    QFETCH(int, kind);
    QFETCH(QString, viaHttp);

    const QString path = "/platform/index1.asp";
    if (viaHttp.isEmpty()) {
        m_sim.setFault(path, {FaultKind(kind), 300});
    } else {
        const QByteArray json =
            QJsonDocument(QJsonObject{{"path", path}, {"kind", viaHttp}, {"delayMs", 300}})
                .toJson();
        QCOMPARE(fetch("/__sim/faults", "POST", json).status, 200);
    }
    const QString target = path + "?action=dl&zh=demo&mm=demo123&sj=1&hardware=0";
    // A fresh manager each time: a dropped connection must not be retried on
    // a pooled one behind the test's back.
    QNetworkAccessManager nam;
    const QString keyBefore = m_sim.lastSessionKey("demo");
    const Answer a = fetch(target, "GET", {}, &nam);

    switch (FaultKind(kind)) {
    case FaultKind::Delay:
        QCOMPARE(a.status, 200);
        QVERIFY(a.body.contains("<title>" + gbk("登陆成功！") + "</title>"));
        break;
    case FaultKind::Drop:
    case FaultKind::RunThenDrop:
        QVERIFY(a.error != QNetworkReply::NoError);
        QCOMPARE(a.status, 0);
        QVERIFY(a.body.isEmpty());
        break;
    case FaultKind::Error500:
        QCOMPARE(a.status, 500);
        QVERIFY(a.body.contains("<title>" + gbk("500 服务器内部错误") + "</title>"));
        break;
    case FaultKind::Garbage:
        QCOMPARE(a.status, 200);
        QVERIFY(!a.body.isEmpty());
        QVERIFY(!a.body.contains('<'));
        break;
    case FaultKind::Truncate:
        QVERIFY(a.error != QNetworkReply::NoError);
        QVERIFY(a.contentLength > 0);
        QVERIFY(a.body.size() < a.contentLength);
        break;
    case FaultKind::None:
        QFAIL("no fault");
    }
    // Logged before it misbehaved.
    const QList<sim::LoggedRequest> log = m_sim.requests();
    QVERIFY(!log.isEmpty());
    QCOMPARE(log.constFirst().target, target);
    // Only the faults that answer run the page.
    const bool ran = kind == int(FaultKind::Delay) || kind == int(FaultKind::Truncate) ||
                     kind == int(FaultKind::RunThenDrop);
    QCOMPARE(m_sim.lastSessionKey("demo") != keyBefore, ran);
}

void TestSim::stopDuringDelay()
{
    sim::PlatformSim local;
    QVERIFY(local.start(0) > 0);
    local.setFault("/empty", {FaultKind::Delay, 600'000});
    QNetworkReply *reply = m_nam.get(QNetworkRequest(QUrl(local.rootUrl() + "empty")));
    QTRY_COMPARE(local.requests().size(), 1);
    local.stop(); // returns although the page is still waiting
    QVERIFY(!local.isRunning());
    QTRY_VERIFY(reply->isFinished());
    QVERIFY(reply->error() != QNetworkReply::NoError);
    reply->deleteLater();
}

void TestSim::takenPort()
{
    sim::PlatformSim other;
    QCOMPARE(other.start(m_sim.port()), -1);
    QVERIFY(!other.isRunning());
    QCOMPARE(fetch("/empty").status, 200);
}

void TestSim::writeConfig()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("client.ini");
    QVERIFY(m_sim.writeConfig(file));

    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QString root = m_sim.rootUrl();
    const QString port = QString::number(m_sim.port());
    QString expected = "[platform]\nbaseUrl=@platform/\n"
                       "[taobao]\nlogisticsUrl=@taobao/wuliu/\nmemberUrl=@taobao/member/\n"
                       "[paipai]\ntradeUrl=@paipai/trade/\nlogisticsUrl=@paipai/wuliu/\n"
                       "[messenger]\nurl=@wangwang/\n"
                       "[numberInfo]\nurl=@numinfo/\n"
                       "[balanceQuery]\nhost=127.0.0.1\nport=" +
                       port +
                       "\n"
                       "[agentWebsite]\nurl=@agentsite/\n"
                       "[maker]\nofficialSite=@official/\n"
                       "dataPackagePage=@official/datapackage.html\n"
                       "[orders]\ndatabase=data.mdb\n"
                       "[transfer]\ntimeoutSeconds=60\n";
    expected.replace('@', root);
    QCOMPARE(QString::fromUtf8(in.readAll()), expected);

    QSettings ini(file, QSettings::IniFormat);
    QCOMPARE(ini.value("platform/baseUrl").toString(), m_sim.platformUrl());
    QCOMPARE(ini.value("balanceQuery/port").toInt(), m_sim.port());

    QString error;
    QVERIFY(!m_sim.writeConfig(dir.filePath("missing/client.ini"), &error));
    QVERIFY(!error.isEmpty());
}

void TestSim::cookies()
{
    QNetworkAccessManager nam; // its own jar
    const Answer set = fetch("/cookie/set?name=token&value=abc123", "GET", {}, &nam);
    QCOMPARE(set.status, 200);
    QCOMPARE(set.setCookie, QByteArray("token=abc123; Path=/"));
    QCOMPARE(fetch("/cookie/echo", "GET", {}, &nam).body, QByteArray("token=abc123"));
    QCOMPARE(fetch("/cookie/echo").body, QByteArray()); // another jar sends none
}

void TestSim::bigAndEmpty()
{
    const Answer big = fetch("/big?n=5000");
    const QString text = fromGbk(big.body);
    QCOMPARE(text.size(), 5000);
    QCOMPARE(text, sim::PlatformSim::bigText(5000));
    QVERIFY(big.body.size() > 5000); // Chinese takes two bytes
    QCOMPARE(sim::PlatformSim::bigText(5000), sim::PlatformSim::bigText(5000));

    const Answer empty = fetch("/empty");
    QCOMPARE(empty.status, 200);
    QCOMPARE(empty.error, QNetworkReply::NoError);
    QVERIFY(empty.body.isEmpty());
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
