// Text that buyers write, offered by the simulated shops and carried through
// the real harvest, intake, submission and delivery into a real order file:
// it is stored as the shop's page carried it, never changes the keys of a
// request, never splits a line of the feedback file and never makes one order
// into two.
#include "app/core/gbk.h"
#include "app/core/textfile.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "shop/agentsession.h"
#include "sim/platformsim.h"
#include "tests/support/listedcells.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kRechargePath = QStringLiteral("/platform/productcz1.asp");
const QString kConsignPath = QStringLiteral("/taobao/wuliu/user/consign_dummy.htm");
const QString kMarkPath = QStringLiteral("/paipai/wuliu/cgi-bin/wuliu/marknowuliu");

const QStringList kRechargeKeys = {"action",      "game_cp",    "game_list", "game_area",
                                   "game_userid", "sessionkey", "Cardnum",   "counts",
                                   "lx",          "cx",         "key"};
const QStringList kConsignKeys = {"order_id",   "source", "callUrl",
                                  "_tb_token_", "action", "event_submit_do_dummy",
                                  "_fmw.n._0.g"};
const QStringList kMarkKeys = {"g_tk", "g_ty", "biz_deal"};

// The fields a buyer writes, as each shop carries them.
enum class Field
{
    TaobaoTitle,
    TaobaoAccount,
    TaobaoBuyer,
    PaipaiTitle,
    PaipaiPostscript,
    PaipaiBuyer,
};

class NoHandOver final : public CardHandOver
{
public:
    void handOver(const HandOver &) override {}
};

// What a GBK page can carry of the text.
QString throughGbk(const QString &text)
{
    return fromGbk(toGbk(text));
}

} // namespace

Q_DECLARE_METATYPE(Field)

class TestHostileValues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void buyerTextStaysOneOrder_data();
    void buyerTextStaysOneOrder();

private:
    bool post(const QString &url, const QString &body);
    QList<RechargeOrder> storedOrders();
    bool deliveryStep();

    SimEnvironment m_env;
    NetworkAccess m_network;
    ShopSites m_sites;
    PlatformEndpoint m_endpoint;
    RecordingClipboard m_clipboard;
    NoHandOver m_handOver;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AgentSession> m_session;
};

void TestHostileValues::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    const ClientConfig &c = m_env.config();
    m_sites = shopSitesOf(c);
    QString key;
    m_env.sim().withState([&key](sim::State &s) { key = s.openSession(QStringLiteral("demo")); });
    m_endpoint = {c.platformBaseUrl, key, QStringLiteral("MID"), QStringLiteral("10086"),
                  QStringLiteral("榴帆综合缴费系统")};
}

void TestHostileValues::init()
{
    m_env.sim().clearShops();
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    m_env.sim().withState([](sim::State &s) { s.recharges().clear(); });
    m_network.setCookieJar(new QNetworkCookieJar);
    m_prompter = std::make_unique<PrompterGuard>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_session = std::make_unique<AgentSession>(
        m_endpoint, sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb"))), m_sites,
        m_dir->filePath(QStringLiteral("待反馈.txt")), m_network, **m_prompter, m_clipboard,
        &m_handOver);
}

void TestHostileValues::cleanup()
{
    m_session.reset();
    m_dir.reset();
    m_prompter.reset();
}

bool TestHostileValues::post(const QString &url, const QString &body)
{
    Transfer transfer(m_network);
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    return transfer.execute(url, QStringLiteral("POST"), body) && done.wait(20000) &&
           transfer.state() == Transfer::ResponseCompleted;
}

QList<RechargeOrder> TestHostileValues::storedOrders()
{
    return m_session->store().读取订单().value_or(QList<RechargeOrder>());
}

bool TestHostileValues::deliveryStep()
{
    DeliveryController &d = m_session->delivery();
    d.淘宝拍拍发货();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        bool busy = false;
        for (int i = 0; i < DeliveryController::kChannels; ++i)
            busy = busy || d.inet发货(i)->stillExecuting();
        if (!busy)
            return true;
        QTest::qWait(20);
    }
    return false;
}

void TestHostileValues::buyerTextStaysOneOrder_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("shipped"); // false: the shop refuses the mark, the order says why

    const QList<std::pair<const char *, QString>> values = {
        {"punctuation", QStringLiteral("a&b=c%d#e+f?g'h\"i;j--k")},
        {"line break", QStringLiteral("x\r\ny")},
        {"not in GBK", QStringLiteral("😀ก")},
        {"10000 characters", QString(10000, QChar(0x957F))}, // 长
        {"markers", QStringLiteral("<tbody></TBODY><Deal>||<o>")},
    };
    const QList<std::pair<const char *, Field>> fields = {
        {"Taobao title", Field::TaobaoTitle},           {"Taobao account", Field::TaobaoAccount},
        {"Taobao buyer", Field::TaobaoBuyer},           {"Paipai title", Field::PaipaiTitle},
        {"Paipai postscript", Field::PaipaiPostscript}, {"Paipai buyer", Field::PaipaiBuyer},
    };
    // The mark request separates deal, card code and buyer by "#", and the
    // site knows the buyer as it wrote him, not as its GBK list could carry
    // him: such a buyer's order is refused, and stays recharged.
    QTest::addRow("Paipai buyer, punctuation, refused")
        << Field::PaipaiBuyer << values.at(0).second << false;
    QTest::addRow("Paipai buyer, not in GBK, refused")
        << Field::PaipaiBuyer << values.at(2).second << false;
    for (const auto &[fieldName, field] : fields) {
        for (const auto &[valueName, value] : values) {
            if (field == Field::PaipaiBuyer &&
                (valueName == values.at(0).first || valueName == values.at(2).first))
                continue;
            QTest::addRow("%s, %s", fieldName, valueName) << field << value << true;
        }
    }
}

void TestHostileValues::buyerTextStaysOneOrder()
{
    QFETCH(Field, field);
    QFETCH(QString, value);
    QFETCH(bool, shipped);
    const bool taobao =
        field == Field::TaobaoTitle || field == Field::TaobaoAccount || field == Field::TaobaoBuyer;

    QSignalSpy loaded(&m_session->catalogue(), &CatalogueController::rowsAdded);
    m_session->catalogue().获取商品信息();
    QVERIFY(loaded.wait(20000));

    // A card product, recharged at once, so that the order goes all the way
    // to the shop's shipping mark and the feedback file.
    QString expected;
    QString orderNo;
    if (taobao) {
        sim::TaobaoOrder o;
        o.orderId = QStringLiteral("T1");
        o.orderNo = orderNo = QStringLiteral("NOT1");
        o.title = QStringLiteral("网易一卡通 1点 自动发卡");
        o.quantity = QStringLiteral("30");
        o.buyer = QStringLiteral("买家甲");
        o.account = QStringLiteral("wy_player");
        o.form = sim::TaobaoAccountForm::Phone;
        QString *target = field == Field::TaobaoTitle     ? &o.title
                          : field == Field::TaobaoAccount ? &o.account
                                                          : &o.buyer;
        *target += value;
        expected = throughGbk(*target);
        m_env.sim().addTaobaoOrder(o);
        QVERIFY(post(m_env.sim().rootUrl() + QStringLiteral("taobao/wuliu/login"),
                     QStringLiteral("TPL_username=demo_seller&TPL_password=tb123456")));
    } else {
        sim::PaipaiDeal d{QStringLiteral("D1"), QStringLiteral("20001234"),
                          QStringLiteral("网易一卡通 1点 自动发卡"), QStringLiteral("30"),
                          QStringLiteral("wy_player")};
        orderNo = d.dealId;
        QString *target = field == Field::PaipaiTitle        ? &d.itemName
                          : field == Field::PaipaiPostscript ? &d.postscript
                                                             : &d.buyerUin;
        *target += value;
        expected = throughGbk(*target);
        m_env.sim().addPaipaiDeal(d);
        QVERIFY(post(m_env.sim().rootUrl() + QStringLiteral("paipai/trade/login"),
                     QStringLiteral("uin=10001&password=pp123456")));
        QVERIFY(post(m_env.sim().rootUrl() + QStringLiteral("paipai/trade/tradepassword"),
                     QStringLiteral("tradePassword=123456")));
    }
    if (field == Field::PaipaiPostscript)
        expected.remove(QLatin1Char(' ')); // the reading takes the blanks out of an account

    // Harvested twice: the same order, once.
    for (int round = 0; round < 2; ++round) {
        if (taobao) {
            QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
            QVERIFY(m_session->taobao().fetch());
            QVERIFY(read.wait(20000));
        } else {
            QSignalSpy read(&m_session->paipai(), &PaipaiHarvester::answerRead);
            QVERIFY(m_session->paipai().query());
            QVERIFY(read.wait(20000));
        }
    }
    QCOMPARE(m_session->book().rowCount(), 1);
    QList<RechargeOrder> stored = storedOrders();
    QCOMPARE(stored.size(), 1);
    const RechargeOrder &order = stored.first();
    QCOMPARE(order.orderNo, orderNo);
    switch (field) {
    case Field::TaobaoTitle:
    case Field::PaipaiTitle:
        QCOMPARE(order.productName, expected);
        break;
    case Field::TaobaoAccount:
    case Field::PaipaiPostscript:
        QCOMPARE(order.rechargeAccount, expected);
        break;
    case Field::TaobaoBuyer:
    case Field::PaipaiBuyer:
        QCOMPARE(order.buyerNick, expected);
        break;
    }

    // One recharge request, with the keys of every recharge request, and the
    // account arriving as it was stored.
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().rechargeRequestsFor(orderNo), 1, 20000);
    const auto recharges = m_env.requestsTo(kRechargePath);
    QCOMPARE(recharges.size(), 1);
    QCOMPARE(recharges.first().keys(), kRechargeKeys);
    // The request is counted as it arrives, the recharge once it has run.
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().recharges().size(), 1, 20000);
    const QList<sim::RechargeRecord> records = m_env.sim().recharges();
    QCOMPARE(records.first().target, order.rechargeAccount);

    // Recharged with a card code: shipped once, with the shop's own keys.
    QTRY_COMPARE_WITH_TIMEOUT(statusNumber(storedOrders().value(0).status), 1, 20000);
    QVERIFY(deliveryStep());
    stored = storedOrders();
    QCOMPARE(stored.size(), 1);
    const auto marks = m_env.requestsTo(taobao ? kConsignPath : kMarkPath);
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks.first().keys(), taobao ? kConsignKeys : kMarkKeys);
    if (shipped) {
        QCOMPARE(statusNumber(stored.first().status), 3);
        if (taobao)
            QCOMPARE(m_env.sim().taobaoConsignCount(QStringLiteral("T1")), 1);
        else
            QCOMPARE(m_env.sim().paipaiMarkCount(QStringLiteral("D1")), 1);
    } else {
        QCOMPARE(statusNumber(stored.first().status), 1);
        QCOMPARE(m_env.sim().paipaiMarkCount(QStringLiteral("D1")), 0);
        QVERIFY(listedText(m_session->book(), 0, QStringLiteral("t7"))
                    .startsWith(QStringLiteral("充值成功,发货失败：")));
    }

    // One line in the feedback file, of five fields at least, while the code
    // is on its way; none once a Paipai mark took it to the buyer.
    const auto lines = readGbkLines(m_dir->filePath(QStringLiteral("待反馈.txt")));
    QVERIFY(lines.has_value());
    const bool delivered = !taobao && shipped;
    QCOMPARE(lines->size(), delivered ? 0 : 1);
    if (!delivered)
        QVERIFY(lines->first().startsWith(QStringLiteral("补反馈<o>") + stored.first().shipNo +
                                          QStringLiteral("<o>1<o>")));
}

QTEST_GUILESS_MAIN(TestHostileValues)
#include "tst_hostilevalues.moc"
