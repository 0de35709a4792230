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
    QByteArray location;
};

using Headers = QList<QPair<QByteArray, QByteArray>>;

// Cuts the text between start and end out of w the way the client's page
// readers do: w keeps what follows, from the end marker on.
QString cut(QString &w, const QString &start, const QString &end)
{
    const qsizetype from = w.indexOf(start);
    if (from < 0)
        return {};
    const qsizetype to = w.indexOf(end, from + start.size());
    if (to < 0)
        return {};
    const QString field = w.mid(from + start.size(), to - from - start.size());
    w = w.mid(to);
    return field;
}

struct AccountRead
{
    QString account, area;
};

// The account part of a Taobao order block, by the first rule whose label
// comes before the block's "</TBODY>".
AccountRead readAccount(QString &w)
{
    const qsizetype close = w.indexOf(QLatin1String("</TBODY>"));
    if (close < 0)
        return {};
    const QString head = w.left(close);
    AccountRead r;
    if (head.contains("手机/小灵通号码:")) {
        r.account = cut(w, "手机/小灵通号码:", "备注:");
    } else if (head.contains("所在区/服:")) {
        r.area = cut(w, "所在区/服:", "游戏");
        r.account = cut(w, "号:", "备注::");
    } else if (head.contains("QQ:")) {
        r.account = cut(w, "QQ:", "备注::");
    } else if (head.contains("充值用户名:") && !head.contains("充值方式:")) {
        r.account = cut(w, "充值用户名:", "，");
    } else if (head.contains("充值用户名:") && !head.contains("账号类型:")) {
        r.account = cut(w, "充值用户名:", "充值方式:");
        r.area = cut(w, "充值方式:", "，");
    } else if (head.contains("充值用户名:")) {
        r.account = cut(w, "充值用户名:", "账号类型:");
        r.area = cut(w, "充值方式:", "，");
    }
    return r;
}

// A shop's login as the client meets it: the form that stands in for every
// page of the shop while there is no session, and the seller's credentials.
struct ShopLogin
{
    QString path;
    QByteArray good, bad;
    QStringList formMarkers;
    QRegularExpression cookie;
};

ShopLogin loginOf(const QString &shop)
{
    if (shop == "taobao") {
        return {"/taobao/wuliu/login",
                "TPL_username=demo_seller&TPL_password=tb123456",
                "TPL_username=demo_seller&TPL_password=tb12345",
                {"method=\"post\" action=\"/taobao/wuliu/login\"",
                 "id=\"TPL_username\" name=\"TPL_username\"",
                 "id=\"TPL_password\" name=\"TPL_password\"", "id=\"J_SubmitStatic\""},
                QRegularExpression("^tb_session=[0-9a-f]{32}; Path=/$")};
    }
    return {"/paipai/trade/login",
            "uin=10001&password=pp123456",
            "uin=10001&password=pp12345",
            {"method=\"post\" action=\"/paipai/trade/login\"", "id=\"uin\" name=\"uin\"",
             "id=\"password\" name=\"password\"", "id=\"loginSubmit\""},
            QRegularExpression("^pp_session=[0-9a-f]{32}; Path=/$")};
}

// Empty when the answer is the shop's login form, else what is wrong with it.
QString notLoginForm(const Answer &a, const ShopLogin &login)
{
    if (a.status != 200)
        return QString("status %1").arg(a.status);
    const QString body = fromGbk(a.body);
    for (const QString &marker : login.formMarkers) {
        if (!body.contains(marker))
            return marker + " missing in " + body;
    }
    if (body.contains("<!-- logis end -->"))
        return "order list markers in the login form";
    return {};
}

const QString kSoldEntry = "/paipai/trade/cgi-bin/trade_deal_list/soldentry?isSellLink=04&index=2";
const QByteArray kDealQuery =
    "consignee=&item_name=&deal_id=&deal_state=2&after_sale=&eval_state=&time_type=0&uin=&"
    "note_type=&is_history=&start_page=1&serial_no=0&t=0.5531484&page_size%20=%2015&"
    "sj=612.0853&hardware=1A2B3C4D";

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

    void shopLogin_data();
    void shopLogin();
    void taobaoOrderList_data();
    void taobaoOrderList();
    void taobaoConsign_data();
    void taobaoConsign();
    void paipaiTradePassword();
    void paipaiDealList_data();
    void paipaiDealList();
    void paipaiMark_data();
    void paipaiMark();
    void demoShops();

private:
    // A request over loopback as the client makes it; target is appended to
    // the root URL without re-encoding.
    Answer fetch(const QString &target, const QByteArray &method = "GET",
                 const QByteArray &body = {}, QNetworkAccessManager *nam = nullptr,
                 const Headers &headers = {});

    // Logs the seller in on nam's cookie jar; false when the shop refused.
    bool logIn(const QString &shop, QNetworkAccessManager *nam);
    // The _tb_token_ of the order list nam's session sees.
    QString taobaoToken(QNetworkAccessManager *nam);
    // The sold-deals answer of a session whose trade password is confirmed.
    QString confirmedDealList(QNetworkAccessManager *nam);

    sim::PlatformSim m_sim;
    QNetworkAccessManager m_nam;
};

Answer TestSim::fetch(const QString &target, const QByteArray &method, const QByteArray &body,
                      QNetworkAccessManager *nam, const Headers &headers)
{
    QNetworkRequest request(QUrl::fromEncoded((m_sim.rootUrl() + target.mid(1)).toLatin1()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    // A redirect is an answer of its own: the test follows it when it means to.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
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
    a.location = reply->rawHeader("Location");
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
    // The balance server listens on a port of its own.
    QVERIFY(m_sim.balancePort() > 0);
    QVERIFY(m_sim.balancePort() != m_sim.port());
    const QString port = QString::number(m_sim.balancePort());
    QString expected = "[platform]\nbaseUrl=@platform/\n"
                       "[taobao]\nlogisticsUrl=@taobao/wuliu/\nmemberUrl=@taobao/member/\n"
                       "[paipai]\ntradeUrl=@paipai/trade/\nlogisticsUrl=@paipai/wuliu/\n"
                       "[messenger]\nurl=@wangwang/\ntitleForm={buyer} - {seller}\nclassChain=\n"
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
    QCOMPARE(ini.value("balanceQuery/port").toInt(), m_sim.balancePort());

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

bool TestSim::logIn(const QString &shop, QNetworkAccessManager *nam)
{
    const ShopLogin login = loginOf(shop);
    const Answer a = fetch(login.path, "POST", login.good, nam);
    return login.cookie.match(QString::fromLatin1(a.setCookie)).hasMatch();
}

QString TestSim::taobaoToken(QNetworkAccessManager *nam)
{
    QString page = fromGbk(fetch("/taobao/wuliu/user/order_list_new.htm", "GET", {}, nam).body);
    return cut(page, "'_tb_token_' type='hidden' value='", "'");
}

QString TestSim::confirmedDealList(QNetworkAccessManager *nam)
{
    if (!logIn("paipai", nam) ||
        fetch("/paipai/trade/tradepassword", "POST", "tradePassword=123456", nam).status != 302)
        return {};
    return fromGbk(
        fetch("/paipai/trade/cgi-bin/trade_deal_list/sold", "POST", kDealQuery, nam).body);
}

void TestSim::shopLogin_data()
{
    QTest::addColumn<QString>("shop");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("loggedIn"); // in the answer with a session only

    QTest::newRow("taobao order list")
        << "taobao" << QByteArray("GET")
        << "/taobao/wuliu/user/order_list_new.htm?order_status_show=send&sj=612.0853"
        << QByteArray() << "<!-- logis end -->";
    QTest::newRow("taobao member page")
        << "taobao" << QByteArray("GET") << "/taobao/member/user/baseInfoSet.htm" << QByteArray()
        << "亲爱的<b>演示卖家</b>";
    // With a session but a token the site never issued: refused, not asked to log in.
    QTest::newRow("taobao consign")
        << "taobao" << QByteArray("GET")
        << "/taobao/wuliu/user/consign_dummy.htm?order_id=60000001&source=&callUrl=&_tb_token_="
           "forged&action=user%2Fconsign_action&event_submit_do_dummy=anything&_fmw.n._0.g="
        << QByteArray() << "<title>操作失败</title>";
    QTest::newRow("paipai sold entry") << "paipai" << QByteArray("GET") << kSoldEntry
                                       << QByteArray() << "<title>我卖出的商品</title>";
    QTest::newRow("paipai deal list")
        << "paipai" << QByteArray("POST") << "/paipai/trade/cgi-bin/trade_deal_list/sold"
        << kDealQuery << "请先使用交易密码";
    QTest::newRow("paipai bought entry")
        << "paipai" << QByteArray("GET")
        << "/paipai/trade/cgi-bin/trade_deal_list/boughtentry?isBuyLink=01" << QByteArray()
        << "method=\"post\" action=\"/paipai/trade/tradepassword\"";
}

void TestSim::shopLogin()
{
    QFETCH(QString, shop);
    QFETCH(QByteArray, method);
    QFETCH(QString, target);
    QFETCH(QByteArray, body);
    QFETCH(QString, loggedIn);

    const ShopLogin login = loginOf(shop);
    QNetworkAccessManager nam; // a jar of its own
    auto page = [&] { return fetch(target, method, body, &nam); };
    auto expire = [&] {
        if (shop == "taobao")
            m_sim.expireTaobaoSession();
        else
            m_sim.expirePaipaiSession();
    };

    Answer a = page();
    QVERIFY2(notLoginForm(a, login).isEmpty(), qPrintable(notLoginForm(a, login)));
    QVERIFY(!fromGbk(a.body).contains(loggedIn));

    a = fetch(login.path, "POST", login.bad, &nam);
    QVERIFY2(notLoginForm(a, login).isEmpty(), qPrintable(notLoginForm(a, login)));
    QVERIFY(a.body.contains("class=\"error\""));
    QVERIFY(a.setCookie.isEmpty());
    QVERIFY(notLoginForm(page(), login).isEmpty());

    a = fetch(login.path, "POST", login.good, &nam);
    QVERIFY2(login.cookie.match(QString::fromLatin1(a.setCookie)).hasMatch(), a.setCookie);
    if (shop == "taobao") {
        QCOMPARE(a.status, 200);
        QVERIFY(fromGbk(a.body).contains("<title>淘宝网 -- 淘我喜欢！</title>"));
    } else {
        QCOMPARE(a.status, 302);
        QCOMPARE(QString::fromLatin1(a.location), kSoldEntry);
    }
    a = page();
    QCOMPARE(a.status, 200);
    QVERIFY2(fromGbk(a.body).contains(loggedIn), a.body.constData());

    // The cookie outlives the session: the shop asks for a login again.
    expire();
    a = page();
    QVERIFY2(notLoginForm(a, login).isEmpty(), qPrintable(notLoginForm(a, login)));
    QVERIFY(logIn(shop, &nam));
    QVERIFY(fromGbk(page().body).contains(loggedIn));
}

void TestSim::taobaoOrderList_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("area");

    using F = sim::TaobaoAccountForm;
    QTest::newRow("phone") << int(F::Phone) << "13912345678"
                           << "";
    QTest::newRow("game area") << int(F::GameArea) << "abc123"
                               << "电信一区";
    QTest::newRow("qq") << int(F::QQ) << "10086001"
                        << "";
    QTest::newRow("user name") << int(F::UserName) << "u1"
                               << "";
    QTest::newRow("user name, method") << int(F::UserNameMethod) << "u2"
                                       << "快充";
    QTest::newRow("user name, type, method") << int(F::UserNameMethodType) << "u3"
                                             << "慢充";
}

void TestSim::taobaoOrderList()
{
    QFETCH(int, form);
    QFETCH(QString, account);
    QFETCH(QString, area);

    m_sim.clearShops();
    // A phone order after it: each block must end before the next one's labels.
    const QList<sim::TaobaoOrder> orders = {
        {"71000001", "161234567801", "腾讯Q币 1个 自动充值", "10", "买家甲", account, area,
         sim::TaobaoAccountForm(form)},
        {"71000002", "161234567802", "移动话费充值 1元", "50", "buyer_b", "13800000000", "",
         sim::TaobaoAccountForm::Phone},
    };
    for (const sim::TaobaoOrder &o : orders)
        m_sim.addTaobaoOrder(o);

    QNetworkAccessManager nam;
    QVERIFY(logIn("taobao", &nam));
    const QString page = fromGbk(
        fetch("/taobao/wuliu/user/order_list_new.htm?order_status_show=send&sj=1", "GET", {}, &nam)
            .body);
    QString token = page;
    QVERIFY(QRegularExpression("^[0-9a-f]{12}$")
                .match(cut(token, "'_tb_token_' type='hidden' value='", "'"))
                .hasMatch());

    QString w = page;
    w = cut(w, "<!-- logis start -->", "<!-- logis end -->");
    for (const sim::TaobaoOrder &o : orders) {
        const qsizetype block = w.indexOf("<tbody>");
        QVERIFY2(block >= 0, qPrintable(o.orderId));
        w = w.mid(block + 7);
        QCOMPARE(cut(w, "order-number\">订单编号：", "</"), o.orderNo);
        QCOMPARE(cut(w, "名称：", " §"), o.title);
        QCOMPARE(cut(w, "数量：", "件"), o.quantity);
        QCOMPARE(cut(w, "params=\"nick=", "&"), o.buyer);
        const AccountRead read = readAccount(w);
        QCOMPARE(read.account, o.account);
        QCOMPARE(read.area, o.area);
        QCOMPARE(cut(w, "consign.htm?order_id=", "\""), o.orderId);
    }
    QVERIFY(!w.contains("<tbody>"));
}

void TestSim::taobaoConsign_data()
{
    QTest::addColumn<QString>("session"); // own, none, expired
    QTest::addColumn<QString>("token");   // issued, other session, or the token sent
    QTest::addColumn<QString>("orderId");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("count");

    const QString consign = "user%2Fconsign_action";
    const QString done = "操作成功";
    const QString failed = "操作失败";
    const QString login = "淘宝网 - 会员登录";
    QTest::newRow("issued token") << "own"
                                  << "issued"
                                  << "72000001" << consign << done << 1;
    QTest::newRow("forged token") << "own"
                                  << "0123456789ab"
                                  << "72000001" << consign << failed << 0;
    QTest::newRow("empty token") << "own"
                                 << ""
                                 << "72000001" << consign << failed << 0;
    QTest::newRow("token of another session") << "own"
                                              << "other session"
                                              << "72000001" << consign << failed << 0;
    QTest::newRow("unknown order") << "own"
                                   << "issued"
                                   << "72000009" << consign << failed << 0;
    QTest::newRow("no consign action") << "own"
                                       << "issued"
                                       << "72000001"
                                       << "" << failed << 0;
    QTest::newRow("no cookie") << "none"
                               << "issued"
                               << "72000001" << consign << login << 0;
    QTest::newRow("expired session") << "expired"
                                     << "issued"
                                     << "72000001" << consign << login << 0;
}

void TestSim::taobaoConsign()
{
    QFETCH(QString, session);
    QFETCH(QString, token);
    QFETCH(QString, orderId);
    QFETCH(QString, action);
    QFETCH(QString, title);
    QFETCH(int, count);

    m_sim.clearShops();
    m_sim.addTaobaoOrder({"72000001", "171234567801", "移动话费充值 1元", "50", "buyer_c",
                          "13800000001", "", sim::TaobaoAccountForm::Phone});
    m_sim.addTaobaoOrder({"72000002", "171234567802", "联通话费充值 1元", "30", "buyer_d",
                          "13000000002", "", sim::TaobaoAccountForm::Phone});

    QNetworkAccessManager seller, other, stranger;
    QVERIFY(logIn("taobao", &seller));
    const QString issued = taobaoToken(&seller);
    QVERIFY(!issued.isEmpty());
    QNetworkAccessManager *nam = &seller;
    if (token == "issued") {
        token = issued;
    } else if (token == "other session") {
        QVERIFY(logIn("taobao", &other));
        token = taobaoToken(&other);
        QVERIFY(!token.isEmpty() && token != issued);
    }
    if (session == "none")
        nam = &stranger;
    else if (session == "expired")
        m_sim.expireTaobaoSession();

    const QString target = "/taobao/wuliu/user/consign_dummy.htm?order_id=" + orderId +
                           "&source=&callUrl=&_tb_token_=" + token + "&action=" + action +
                           "&event_submit_do_dummy=anything&_fmw.n._0.g=";
    Answer a = fetch(target, "GET", {}, nam);
    QCOMPARE(a.status, 200);
    QVERIFY2(fromGbk(a.body).contains("<title>" + title + "</title>"), a.body.constData());
    QCOMPARE(m_sim.taobaoConsignCount("72000001"), count);
    QCOMPARE(m_sim.taobaoConsignCount("72000002"), 0);

    // A consigned order leaves the list; the other stays.
    QNetworkAccessManager viewer;
    QVERIFY(logIn("taobao", &viewer));
    const QString list =
        fromGbk(fetch("/taobao/wuliu/user/order_list_new.htm", "GET", {}, &viewer).body);
    QCOMPARE(list.contains("consign.htm?order_id=72000001\""), count == 0);
    QVERIFY(list.contains("consign.htm?order_id=72000002\""));
    QStringList waiting;
    for (const sim::TaobaoOrder &o : m_sim.taobaoOrders())
        waiting << o.orderId;
    QCOMPARE(waiting.contains("72000001"), count == 0);
    if (count == 0)
        return;

    // A repeat, as after a lost answer, is refused as a shop refuses it, and counted.
    a = fetch(target, "GET", {}, nam);
    QVERIFY2(fromGbk(a.body).contains("<title>操作失败</title>"), a.body.constData());
    QCOMPARE(m_sim.taobaoConsignCount("72000001"), count + 1);
}

void TestSim::paipaiTradePassword()
{
    m_sim.clearShops();
    m_sim.addPaipaiDeal({"10001-20110401-000001", "30000001", "腾讯Q币 1个", "10", "10086"});
    const QString sold = "/paipai/trade/cgi-bin/trade_deal_list/sold";

    QNetworkAccessManager nam;
    QVERIFY(logIn("paipai", &nam));
    QString answer = fromGbk(fetch(sold, "POST", kDealQuery, &nam).body);
    QVERIFY(answer.contains("请先使用交易密码"));
    QVERIFY(!answer.contains("<Deal>"));

    const QString entry = fromGbk(
        fetch("/paipai/trade/cgi-bin/trade_deal_list/boughtentry?isBuyLink=01", "GET", {}, &nam)
            .body);
    for (const QString marker :
         {"method=\"post\" action=\"/paipai/trade/tradepassword\"",
          "id=\"tradePassword\" name=\"tradePassword\"", "id=\"tradeSubmit\""})
        QVERIFY2(entry.contains(marker), qPrintable(marker));

    Answer a = fetch("/paipai/trade/tradepassword", "POST", "tradePassword=654321", &nam);
    QCOMPARE(a.status, 200);
    QVERIFY(a.body.contains("id=\"tradeSubmit\""));
    QVERIFY(a.body.contains("class=\"error\""));
    QVERIFY(fromGbk(fetch(sold, "POST", kDealQuery, &nam).body).contains("请先使用交易密码"));

    a = fetch("/paipai/trade/tradepassword", "POST", "tradePassword=123456", &nam);
    QCOMPARE(a.status, 302);
    QCOMPARE(QString::fromLatin1(a.location), kSoldEntry);
    answer = fromGbk(fetch(sold, "POST", kDealQuery, &nam).body);
    QVERIFY(!answer.contains("请先使用交易密码"));
    QVERIFY(answer.contains("<ID>10001-20110401-000001</ID>"));

    // Only paid deals are asked for and listed.
    const QByteArray shipped = QByteArray(kDealQuery).replace("deal_state=2", "deal_state=4");
    QVERIFY(!fetch(sold, "POST", shipped, &nam).body.contains("<Deal>"));

    // The confirmation belongs to the session: a new login asks again.
    m_sim.expirePaipaiSession();
    QVERIFY(logIn("paipai", &nam));
    QVERIFY(fromGbk(fetch(sold, "POST", kDealQuery, &nam).body).contains("请先使用交易密码"));
}

void TestSim::paipaiDealList_data()
{
    QTest::addColumn<QString>("itemName");
    QTest::addColumn<QString>("postscript");

    QTest::newRow("message with blanks") << "腾讯Q币 1个 QQ自动充值"
                                         << "138 00";
    QTest::newRow("no message") << "魔兽世界点卡 1点"
                                << "";
    QTest::newRow("chinese message") << "征途2金币 1个"
                                     << "电信一区 zt01";
}

void TestSim::paipaiDealList()
{
    QFETCH(QString, itemName);
    QFETCH(QString, postscript);

    m_sim.clearShops();
    const QList<sim::PaipaiDeal> deals = {
        {"10001-20110402-000001", "30000011", itemName, "30", postscript},
        {"10001-20110402-000002", "30000012", "移动话费充值 1元", "50", "13800000003"},
    };
    for (const sim::PaipaiDeal &d : deals)
        m_sim.addPaipaiDeal(d);

    QNetworkAccessManager nam;
    QString w = confirmedDealList(&nam);
    for (const sim::PaipaiDeal &d : deals) {
        const qsizetype deal = w.indexOf("<Deal>");
        QVERIFY2(deal >= 0, qPrintable(d.dealId));
        w = w.mid(deal + 6);
        QCOMPARE(cut(w, "<ID>", "</ID>"), d.dealId);
        QCOMPARE(cut(w, "<Uin>", "</Uin>"), d.buyerUin);
        QCOMPARE(cut(w, "<Name><![CDATA[ ", " ]]></Name>"), d.itemName);
        QCOMPARE(cut(w, "<ItemCount>", "</ItemCount>"), d.itemCount);
        // The wrapper keeps its two blanks around an empty message.
        const qsizetype start = w.indexOf("<Postscript><![CDATA[ ");
        QVERIFY(start >= 0);
        QCOMPARE(w.mid(start + 22, d.postscript.size() + 18), d.postscript + " ]]></Postscript>\n");
        w = w.mid(start + 22);
    }
    QVERIFY(!w.contains("<Deal>"));
}

void TestSim::paipaiMark_data()
{
    QTest::addColumn<bool>("cookie");
    QTest::addColumn<QString>("referer"); // @ stands for the simulator's root
    QTest::addColumn<QByteArray>("gtk");
    QTest::addColumn<QByteArray>("bizDeal");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("cardCode");

    const QString referer = "@paipai/wuliu/cgi-bin/wuliu/orderentry?deal_id=10001-20110403-000001";
    const QByteArray gtk = "40265813975";
    const QByteArray deal = "10001-20110403-000001";
    const QByteArray buyer = "%2330000021";

    QTest::newRow("card code") << true << referer << gtk << deal + "%23ABCD1234" + buyer << true
                               << "ABCD1234";
    QTest::newRow("no card code") << true << referer << gtk << deal + "%23" + buyer << true << "";
    QTest::newRow("utf-8 hyphen, blank, chinese")
        << true << referer << gtk << deal + "%23AB%2D12%20%E4%B8%AD" + buyer << true << "AB-12 中";
    QTest::newRow("card code holding #")
        << true << referer << gtk << deal + "%23A%23B" + buyer << true << "A#B";
    QTest::newRow("no cookie") << false << referer << gtk << deal + "%23ABCD" + buyer << false
                               << "";
    QTest::newRow("no referer") << true << "" << gtk << deal + "%23ABCD" + buyer << false << "";
    QTest::newRow("referer of another deal")
        << true << "@paipai/wuliu/cgi-bin/wuliu/orderentry?deal_id=10001-20110403-000002" << gtk
        << deal + "%23ABCD" + buyer << false << "";
    QTest::newRow("referer on the trade site")
        << true << "@paipai/trade/cgi-bin/wuliu/orderentry?deal_id=10001-20110403-000001" << gtk
        << deal + "%23ABCD" + buyer << false << "";
    QTest::newRow("wrong g_tk") << true << referer << QByteArray("40265813976")
                                << deal + "%23ABCD" + buyer << false << "";
    QTest::newRow("empty g_tk") << true << referer << QByteArray() << deal + "%23ABCD" + buyer
                                << false << "";
    QTest::newRow("another buyer")
        << true << referer << gtk << deal + "%23ABCD%2330000029" << false << "";
    QTest::newRow("unknown deal")
        << true << "@paipai/wuliu/cgi-bin/wuliu/orderentry?deal_id=10001-20110403-000009" << gtk
        << QByteArray("10001-20110403-000009%23ABCD") + buyer << false << "";
}

void TestSim::paipaiMark()
{
    QFETCH(bool, cookie);
    QFETCH(QString, referer);
    QFETCH(QByteArray, gtk);
    QFETCH(QByteArray, bizDeal);
    QFETCH(bool, accepted);
    QFETCH(QString, cardCode);

    m_sim.clearShops();
    m_sim.addPaipaiDeal({"10001-20110403-000001", "30000021", "腾讯Q币 1个", "10", "10086"});
    m_sim.addPaipaiDeal({"10001-20110403-000002", "30000022", "腾讯Q币 1个", "20", "10087"});

    QNetworkAccessManager seller, stranger;
    QVERIFY(!confirmedDealList(&seller).isEmpty());
    Headers headers;
    if (!referer.isEmpty())
        headers.append({"Referer", referer.replace('@', m_sim.rootUrl()).toLatin1()});
    const QByteArray body = "g_tk=" + gtk + "&g_ty=j132&biz_deal=" + bizDeal;
    auto mark = [&] {
        return fetch("/paipai/wuliu/cgi-bin/wuliu/marknowuliu", "POST", body,
                     cookie ? &seller : &stranger, headers);
    };

    Answer a = mark();
    QCOMPARE(a.status, 200);
    const QString id = "10001-20110403-000001";
    if (accepted) {
        QCOMPARE(a.body, QByteArray("{\"errCode\":0,\"msg\":\"ok\"}"));
        QCOMPARE(m_sim.paipaiMarkCount(id), 1);
        QCOMPARE(m_sim.paipaiMarkedCardCode(id), cardCode);
    } else {
        const QString text = fromGbk(a.body);
        QVERIFY2(QRegularExpression("^\\{\"errCode\":[1-9][0-9]*,\"msg\":\"[^\"]+\"\\}$")
                     .match(text)
                     .hasMatch(),
                 qPrintable(text));
        QCOMPARE(m_sim.paipaiMarkCount(id), 0);
    }
    QCOMPARE(m_sim.paipaiMarkCount("10001-20110403-000002"), 0);

    // A marked deal leaves the list; the other stays.
    QNetworkAccessManager viewer;
    const QString list = confirmedDealList(&viewer);
    QCOMPARE(list.contains("<ID>" + id + "</ID>"), !accepted);
    QVERIFY(list.contains("<ID>10001-20110403-000002</ID>"));
    QCOMPARE(m_sim.paipaiDeals().size(), accepted ? 1 : 2);
    if (!accepted)
        return;

    // A repeat, as after a lost answer, is refused as a shop refuses it, and counted.
    const QString repeat = fromGbk(mark().body);
    QVERIFY2(repeat.startsWith("{\"errCode\":7,"), qPrintable(repeat));
    QCOMPARE(m_sim.paipaiMarkCount(id), 2);
    QCOMPARE(m_sim.paipaiMarkedCardCode(id), cardCode);
}

// The demo's shop orders must resolve against the demo catalogue as the
// client resolves them, or the demo harvests nothing.
void TestSim::demoShops()
{
    const sim::PlatformSim demo;
    const QList<sim::Product> products = demo.products();
    // The product of the title and quantity: the last product sent whose name
    // the title holds, offering the quantity as a face value. Null otherwise.
    auto resolve = [&](const QString &title, const QString &quantity) -> const sim::Product * {
        for (auto it = products.crbegin(); it != products.crend(); ++it) {
            if (!title.contains(it->name))
                continue;
            const QStringList items = it->value.split('|');
            for (qsizetype i = 1; i < items.size(); ++i) {
                QString label = items[i].section('=', 0, 0);
                if (items[0] == "元")
                    label = QString::number(label.toDouble() * it->price.toDouble());
                if (label == quantity)
                    return &*it;
            }
            return nullptr;
        }
        return nullptr;
    };
    auto isCard = [](const sim::Product &p) {
        return p.list == "游戏" && p.value.startsWith("个|");
    };

    const QList<sim::TaobaoOrder> orders = demo.taobaoOrders();
    QVERIFY(orders.size() >= 2);
    int cards = 0;
    for (const sim::TaobaoOrder &o : orders) {
        const sim::Product *p = resolve(o.title, o.quantity);
        QVERIFY2(p, qPrintable(o.title + " × " + o.quantity));
        QVERIFY(!o.account.isEmpty()); // the platform refuses an empty number
        cards += isCard(*p) ? 1 : 0;
    }
    QVERIFY(cards >= 1);
    const QList<sim::PaipaiDeal> deals = demo.paipaiDeals();
    QVERIFY(!deals.isEmpty());
    for (const sim::PaipaiDeal &d : deals) {
        QVERIFY2(resolve(d.itemName, d.itemCount), qPrintable(d.itemName));
        QVERIFY(!d.postscript.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
