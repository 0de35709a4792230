// The shop automation's engine against the simulated shops and platform over
// loopback: harvesting, the monitor's view of the shop login, and the
// delivery with the shops' answers. No widget and no browser: the seller's
// shop login is made with the same network access the client's requests use.
#include "app/core/platform.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "shop/agentsession.h"
#include "sim/platformsim.h"
#include "tests/support/listedcells.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingdesktop.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QCoreApplication>
#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using sim::FaultKind;

namespace {

const QString kConsignPath = QStringLiteral("/taobao/wuliu/user/consign_dummy.htm");
const QString kMarkPath = QStringLiteral("/paipai/wuliu/cgi-bin/wuliu/marknowuliu");
const QString kOrderListPath = QStringLiteral("/taobao/wuliu/user/order_list_new.htm");
const QString kDealListPath = QStringLiteral("/paipai/trade/cgi-bin/trade_deal_list/sold");

class RecordingHandOver final : public CardHandOver
{
public:
    bool takesCodes() const override { return on; }
    void handOver(const HandOver &h) override
    {
        calls.append(h.buyer + QLatin1Char('|') + h.cardCode);
        orders.append(h.orderNo);
    }
    QStringList calls;
    QStringList orders;
    bool on = true;
};

sim::TaobaoOrder taobaoOrder(const QString &id, const QString &title, const QString &quantity,
                             const QString &account)
{
    sim::TaobaoOrder o;
    o.orderId = id;
    o.orderNo = QStringLiteral("NO") + id;
    o.title = title;
    o.quantity = quantity;
    o.buyer = QStringLiteral("买家") + id;
    o.account = account;
    o.form = sim::TaobaoAccountForm::Phone;
    return o;
}

} // namespace

class TestShopFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void taobaoPageTakesOnlyNewOrders();
    void taobaoHarvestRechargeAndShip();
    void taobaoCardReachesTheChat();
    void taobaoLoginExpires();
    void paipaiTradePasswordThenDeals();
    void deliveryUsesEveryFreeChannel();
    void deliveryFailures_data();
    void deliveryFailures();
    void consignOfUnknownOutcome_data();
    void consignOfUnknownOutcome();
    void aLateConsignRefusesTheRepeat();
    void aRefusedOrderDoesNotHoldUpTheOthers();
    void noTaobaoConsignWithoutToken();
    void feedbackQueueSurvivesARestart();
    void codesHandedOverOnceAcrossARestart();
    void codeOffWhenTheMessengerIsOff();

private:
    bool post(const QString &url, const QString &body);
    bool loginTaobao();
    bool loginPaipai();
    bool confirmPaipai(); // the trade password, which the deal list asks for
    // One order list of the shop (1 Taobao, 2 Paipai), fetched and read.
    bool readList(int shop);
    // A recharged shop order in the store and the book, as the platform left it.
    void recharged(int type, const QString &shipNo, const QString &cardCode,
                   const QString &buyer = QStringLiteral("20001234"));
    int statusOf(const QString &shipNo);
    bool step(); // one delivery step, and its answer
    int requestsTo(const QString &path) const { return int(m_env.requestsTo(path).size()); }

    SimEnvironment m_env;
    NetworkAccess m_network;
    ShopSites m_sites;
    PlatformEndpoint m_endpoint;
    RecordingClipboard m_clipboard;
    RecordingHandOver m_handOver;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AgentSession> m_session;
};

void TestShopFlow::initTestCase()
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

void TestShopFlow::init()
{
    m_env.sim().clearShops();
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    m_env.sim().withState([](sim::State &s) { s.recharges().clear(); });
    m_network.setCookieJar(new QNetworkCookieJar); // no shop login left from before
    m_handOver.calls.clear();
    m_handOver.orders.clear();
    m_handOver.on = true;
    m_prompter = std::make_unique<PrompterGuard>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_session = std::make_unique<AgentSession>(
        m_endpoint, sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb"))), m_sites,
        m_dir->filePath(QStringLiteral("待反馈.txt")), m_network, **m_prompter, m_clipboard,
        &m_handOver);
}

void TestShopFlow::cleanup()
{
    m_session.reset();
    m_dir.reset();
    m_prompter.reset();
}

bool TestShopFlow::post(const QString &url, const QString &body)
{
    Transfer transfer(m_network);
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    return transfer.execute(url, QStringLiteral("POST"), body) && done.wait(20000) &&
           transfer.state() == Transfer::ResponseCompleted;
}

bool TestShopFlow::loginTaobao()
{
    return post(m_env.sim().rootUrl() + QStringLiteral("taobao/wuliu/login"),
                QStringLiteral("TPL_username=demo_seller&TPL_password=tb123456"));
}

bool TestShopFlow::loginPaipai()
{
    return post(m_env.sim().rootUrl() + QStringLiteral("paipai/trade/login"),
                QStringLiteral("uin=10001&password=pp123456"));
}

bool TestShopFlow::confirmPaipai()
{
    return post(m_env.sim().rootUrl() + QStringLiteral("paipai/trade/tradepassword"),
                QStringLiteral("tradePassword=123456"));
}

bool TestShopFlow::readList(int shop)
{
    if (shop == 1) {
        QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
        return m_session->taobao().fetch() && read.wait(20000);
    }
    QSignalSpy read(&m_session->paipai(), &PaipaiHarvester::answerRead);
    return m_session->paipai().query() && read.wait(20000);
}

void TestShopFlow::recharged(int type, const QString &shipNo, const QString &cardCode,
                             const QString &buyer)
{
    RechargeOrder o;
    o.orderType = type;
    o.rechargeAccount = QStringLiteral("13800138000");
    o.productName = QStringLiteral("网易一卡通");
    o.quantity = 30;
    o.rechargeTime = CurrentDateTime();
    o.buyerNick = buyer;
    o.status = OrderStatus::Recharged;
    o.cardCode = cardCode;
    o.orderNo = QStringLiteral("NO-") + shipNo;
    o.shipNo = shipNo;
    o.platformProduct = QStringLiteral("网易一卡通");
    QVERIFY(m_session->store().插入订单(o));
    m_session->ledger().showStored(o);
}

int TestShopFlow::statusOf(const QString &shipNo)
{
    const auto today = m_session->store().读取订单();
    for (const RechargeOrder &o : today.value()) {
        if (o.shipNo == shipNo)
            return statusNumber(o.status);
    }
    return -99;
}

bool TestShopFlow::step()
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

void TestShopFlow::taobaoPageTakesOnlyNewOrders()
{
    QFile fixture(QFINDTESTDATA("fixtures/taobao_two_orders.html"));
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(fixture.readAll());
    QSignalSpy loaded(&m_session->catalogue(), &CatalogueController::rowsAdded);
    m_session->catalogue().获取商品信息();
    QVERIFY(loaded.wait(20000));
    // The first order was taken by an earlier run.
    RechargeOrder earlier;
    earlier.orderType = 1;
    earlier.orderNo = QStringLiteral("NOA");
    earlier.shipNo = QStringLiteral("A1");
    earlier.status = OrderStatus::Accepted;
    QVERIFY(m_session->store().插入订单(earlier));

    TaobaoHarvester &taobao = m_session->taobao();
    QSignalSpy status(&taobao, &TaobaoHarvester::statusLine);
    m_env.sim().setFault(QStringLiteral("/platform/productcz1.asp"), {FaultKind::Delay, 300});
    taobao.读取淘宝订单(
        QString(page).replace(QStringLiteral("TOKEN_PLACEHOLDER"), QStringLiteral("tok1")));
    // One new order, listed and sent at once; the status line shows the last block.
    OrderBook &book = m_session->book();
    QCOMPARE(book.rowCount(), 1);
    const OrderEntry taken = book.at(0);
    QCOMPARE(taken.order.orderNo, QStringLiteral("NOB"));
    QCOMPARE(taken.order.shipNo, QStringLiteral("B2"));
    QCOMPARE(taken.order.rechargeAccount, QStringLiteral("13800138000"));
    QCOMPARE(taken.order.buyerNick, QStringLiteral("买家乙"));
    QCOMPARE(taken.order.status, OrderStatus::Submitting);
    QCOMPARE(status.size(), 1);
    QCOMPARE(status.first().first().toString(),
             QStringLiteral("榴帆综合缴费系统发现订单NOB|魔兽世界点卡 1点 自动发卡|30|买家乙|"
                            "13800138000"));
    QCOMPARE(taobao.tbToken(), QStringLiteral("tok1"));
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().rechargeCount(QStringLiteral("NOB")), 1, 20000);

    // The same page again: all known, nothing taken or sent; the token is new.
    const int requests = requestsTo(QStringLiteral("/platform/productcz1.asp"));
    taobao.读取淘宝订单(
        QString(page).replace(QStringLiteral("TOKEN_PLACEHOLDER"), QStringLiteral("tok2")));
    QCOMPARE(book.rowCount(), 1);
    QCOMPARE(status.size(), 1);
    QCOMPARE(taobao.tbToken(), QStringLiteral("tok2"));
    QTest::qWait(200);
    QCOMPARE(requestsTo(QStringLiteral("/platform/productcz1.asp")), requests);
}

void TestShopFlow::taobaoHarvestRechargeAndShip()
{
    // A card product and mobile credit, as a buyer orders them.
    m_env.sim().addTaobaoOrder(
        taobaoOrder("T1", QStringLiteral("网易一卡通 1点 自动发卡"), "30", "wy_player"));
    m_env.sim().addTaobaoOrder(
        taobaoOrder("T2", QStringLiteral("移动话费充值 1元 秒到"), "50", "13800138000"));
    QSignalSpy loaded(&m_session->catalogue(), &CatalogueController::rowsAdded);
    m_session->catalogue().获取商品信息();
    QVERIFY(loaded.wait(20000));
    QVERIFY(loginTaobao());

    TaobaoHarvester &taobao = m_session->taobao();
    QSignalSpy read(&taobao, &TaobaoHarvester::listRead);
    QSignalSpy status(&taobao, &TaobaoHarvester::statusLine);
    QVERIFY(taobao.fetch());
    QVERIFY(read.wait(20000));
    QCOMPARE(read.first().first().toBool(), true);
    QVERIFY(!taobao.tbToken().isEmpty());
    QCOMPARE(status.size(), 1);
    QVERIFY(
        status.first().first().toString().startsWith(QStringLiteral("榴帆综合缴费系统发现订单")));
    OrderBook &book = m_session->book();
    QCOMPARE(book.rowCount(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(taobao.sellerNick(), m_env.sim().taobaoNick(), 20000);

    // Submitted by themselves; the same page again takes nothing new.
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().rechargeCount(QStringLiteral("NOT1")), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().rechargeCount(QStringLiteral("NOT2")), 1, 20000);
    read.clear();
    QVERIFY(taobao.fetch());
    QVERIFY(read.wait(20000));
    QCOMPARE(book.rowCount(), 2);

    // The card product is recharged at once: shipped, its card handed on.
    QSignalSpy cards(&m_session->delivery(), &DeliveryController::cardSent);
    QTRY_COMPARE_WITH_TIMEOUT(statusOf(QStringLiteral("T1")), 1, 20000);
    QVERIFY(step());
    QCOMPARE(statusOf(QStringLiteral("T1")), 3);
    QCOMPARE(listedText(book, book.rowOf(QStringLiteral("NOT1")), QStringLiteral("t7")),
             QStringLiteral("充值成功,已经发货"));
    QCOMPARE(m_env.sim().taobaoConsignCount(QStringLiteral("T1")), 1);
    QCOMPARE(cards.size(), 1);
    QCOMPARE(m_handOver.calls.size(), 1);
    QVERIFY(m_handOver.calls.first().startsWith(QStringLiteral("买家T1|")));
    // The credit waits for the platform: nothing to ship yet.
    QVERIFY(step());
    QCOMPARE(m_env.sim().taobaoConsignCount(QStringLiteral("T2")), 0);
    QCOMPARE(m_env.sim().rechargeCount(QStringLiteral("NOT1")), 1);
}

void TestShopFlow::taobaoCardReachesTheChat()
{
    // The session's own messenger hand-over, on a recorded desktop where the
    // messenger's chat window takes the text itself.
    RecordingDesktop desktop;
    MessengerWindows windows;
    windows.classChain.clear();
    m_session.reset();
    m_session = std::make_unique<AgentSession>(
        m_endpoint, sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb"))), m_sites,
        m_dir->filePath(QStringLiteral("待反馈.txt")), m_network, **m_prompter, m_clipboard,
        nullptr, &desktop, windows);
    MessengerHandOver &messenger = m_session->messenger();
    Transfer webww(m_network); // opens the dispatch link, as the hidden browser does
    messenger.setNavigate(
        [&webww](const QString &url) { webww.execute(url, QStringLiteral("GET"), QString()); });
    QVERIFY(loginTaobao());
    QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(read.wait(20000));
    const QString nick = m_env.sim().taobaoNick();
    QTRY_COMPARE_WITH_TIMEOUT(m_session->taobao().sellerNick(), nick, 20000);
    m_env.sim().addTaobaoOrder(taobaoOrder(QStringLiteral("T1"), "x", "1", "1"));
    recharged(1, QStringLiteral("T1"), QStringLiteral("CARD||A1"), QStringLiteral("b1"));
    QSignalSpy cards(&m_session->delivery(), &DeliveryController::cardSent);
    QSignalSpy done(&messenger, &MessengerHandOver::handedOver);

    QVERIFY(step());
    QCOMPARE(statusOf(QStringLiteral("T1")), 3);
    QCOMPARE(cards.size(), 1);
    QVERIFY(messenger.找窗口()->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().messengerDispatches().size(), 1, 20000);
    QCOMPARE(m_env.sim().messengerDispatches().first(), qMakePair(nick, QStringLiteral("b1")));

    // The messenger has opened the chat; the next search types the code.
    const auto chat = desktop.addTopLevel(QStringLiteral("b1 - ") + nick);
    messenger.找窗口tick();
    QCOMPARE(desktop.log.first(), QStringLiteral("find b1 - ") + nick);
    QCOMPARE(desktop.window(chat)->text, QStringLiteral("CARD||A1"));
    QCOMPARE(desktop.log.filter(QStringLiteral("keys")).size(), 2);
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().at(0).toString(), QStringLiteral("b1"));
    messenger.关闭窗口tick();
    QCOMPARE(desktop.log.last(), QStringLiteral("close %1").arg(chat));
    m_session.reset(); // before the desktop it uses
}

void TestShopFlow::taobaoLoginExpires()
{
    ShopMonitor &monitor = m_session->monitor();
    QSignalSpy expired(&monitor, &ShopMonitor::loginExpired);
    QVERIFY(loginTaobao());
    monitor.startTaobao();
    QCOMPARE(monitor.taobaoState(), ShopMonitor::State::LoggingIn);
    QVERIFY(monitor.taobaoTimer()->isActive());
    QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
    monitor.taobaoPageLoaded(QStringLiteral("淘宝网 -- 淘我喜欢！"));
    QCOMPARE(monitor.taobaoState(), ShopMonitor::State::On);
    QVERIFY(read.wait(20000));

    // The shop's session runs out: the monitor says so, and keeps fetching.
    m_env.sim().expireTaobaoSession();
    read.clear();
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(read.wait(20000));
    QCOMPARE(monitor.taobaoState(), ShopMonitor::State::LoggedOut);
    QCOMPARE(expired.size(), 1);
    QVERIFY(monitor.taobaoTimer()->isActive());

    // Logged in again: harvesting goes on by itself.
    QVERIFY(loginTaobao());
    read.clear();
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(read.wait(20000));
    QCOMPARE(monitor.taobaoState(), ShopMonitor::State::On);

    monitor.stopTaobao();
    QCOMPARE(monitor.taobaoState(), ShopMonitor::State::Off);
    QVERIFY(!monitor.taobaoTimer()->isActive());
    // A stopped monitor is not turned on by a page.
    monitor.taobaoPageLoaded(QStringLiteral("淘宝网 -- 淘我喜欢！"));
    QCOMPARE(monitor.taobaoState(), ShopMonitor::State::Off);
}

void TestShopFlow::paipaiTradePasswordThenDeals()
{
    sim::PaipaiDeal deal{QStringLiteral("D-1"), QStringLiteral("20001234"),
                         QStringLiteral("腾讯Q币 1个"), QStringLiteral("10"),
                         QStringLiteral("12345 678")};
    m_env.sim().addPaipaiDeal(deal);
    QSignalSpy loaded(&m_session->catalogue(), &CatalogueController::rowsAdded);
    m_session->catalogue().获取商品信息();
    QVERIFY(loaded.wait(20000));
    ShopMonitor &monitor = m_session->monitor();
    PaipaiHarvester &paipai = m_session->paipai();
    QSignalSpy asked(&paipai, &PaipaiHarvester::tradePasswordAsked);
    QSignalSpy answered(&paipai, &PaipaiHarvester::answerRead);
    monitor.startPaipai();

    // Before the login: the login page, which is no proof of a login.
    QVERIFY(paipai.query());
    QVERIFY(answered.wait(20000));
    QCOMPARE(answered.first().first().toBool(), false);
    QCOMPARE(monitor.paipaiState(), ShopMonitor::State::LoggingIn);

    // Logged in, the site asks for the trade password first.
    QVERIFY(loginPaipai());
    QVERIFY(paipai.query());
    QVERIFY(asked.wait(20000));
    QVERIFY(asked.first().first().toString().endsWith(
        QStringLiteral("trade_deal_list/boughtentry?isBuyLink=01")));
    QCOMPARE(m_session->book().rowCount(), 0);
    QVERIFY(post(m_env.sim().rootUrl() + QStringLiteral("paipai/trade/tradepassword"),
                 QStringLiteral("tradePassword=123456")));

    answered.clear();
    QVERIFY(paipai.query());
    QVERIFY(answered.wait(20000));
    QCOMPARE(monitor.paipaiState(), ShopMonitor::State::On);
    QCOMPARE(m_session->book().rowCount(), 1);
    const OrderEntry entry = m_session->book().at(0);
    QCOMPARE(entry.order.orderType, 2);
    QCOMPARE(entry.order.orderNo, QStringLiteral("D-1"));
    QCOMPARE(entry.order.shipNo, QStringLiteral("D-1"));
    QCOMPARE(entry.order.rechargeAccount, QStringLiteral("12345678"));
    QCOMPARE(entry.order.buyerNick, QStringLiteral("20001234"));
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().rechargeCount(QStringLiteral("D-1")), 1, 20000);
}

void TestShopFlow::deliveryUsesEveryFreeChannel()
{
    QVERIFY(loginTaobao());
    QVERIFY(loginPaipai());
    QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
    QVERIFY(m_session->taobao().fetch()); // the page's token
    QVERIFY(read.wait(20000));
    for (int i = 1; i <= 5; ++i)
        m_env.sim().addTaobaoOrder(taobaoOrder(QStringLiteral("T%1").arg(i), "x", "1", "1"));
    m_env.sim().addPaipaiDeal({QStringLiteral("P1"), QStringLiteral("20001234"), "x", "1", ""});
    m_env.sim().addPaipaiDeal({QStringLiteral("P2"), QStringLiteral("20001234"), "x", "1", ""});
    // Two Taobao orders with card codes, three without, two Paipai ones, one
    // with a code; and a manual order, which is never shipped.
    recharged(1, QStringLiteral("T1"), QStringLiteral("CARD-A1"));
    recharged(1, QStringLiteral("T2"), QStringLiteral("CARD-B2"));
    for (int i = 3; i <= 5; ++i)
        recharged(1, QStringLiteral("T%1").arg(i), QString());
    recharged(2, QStringLiteral("P1"), QString());
    recharged(2, QStringLiteral("P2"), QStringLiteral("AB-1 卡"));
    recharged(0, QStringLiteral("M1"), QStringLiteral("CARD-M"));
    QSignalSpy cards(&m_session->delivery(), &DeliveryController::cardSent);

    // One step: an order on each of the six channels in the store's order,
    // and the seventh on the first channel the shop's answer frees.
    QVERIFY(step());
    for (const char *shipNo : {"T1", "T2", "T3", "T4", "T5", "P1", "P2"})
        QCOMPARE(statusOf(QString::fromLatin1(shipNo)), 3);
    QVERIFY(step()); // nothing left: the manual order stays
    QCOMPARE(statusOf(QStringLiteral("M1")), 1);
    QCOMPARE(requestsTo(kConsignPath), 5);
    QCOMPARE(requestsTo(kMarkPath), 2);
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(m_env.sim().taobaoConsignCount(QStringLiteral("T%1").arg(i)), 1);
    QCOMPARE(m_env.sim().paipaiMarkCount(QStringLiteral("P1")), 1);
    QCOMPARE(m_env.sim().paipaiMarkedCardCode(QStringLiteral("P2")), QStringLiteral("AB-1 卡"));
    // The Paipai mark without a card code: "%23" twice between deal and buyer.
    // The two marks go out together, in either order.
    QByteArrayList markBodies;
    for (const auto &mark : m_env.requestsTo(kMarkPath))
        markBodies << mark.body;
    QVERIFY(markBodies.contains("g_tk=40265813975&g_ty=j132&biz_deal=P1%23%2320001234"));
    // Sent cards for the three codes; the messenger only for Taobao buyers.
    QCOMPARE(cards.size(), 3);
    int paipaiCards = 0;
    for (const auto &card : cards)
        paipaiCards += card.first().value<SentCard>().platform == QStringLiteral("拍拍") ? 1 : 0;
    QCOMPARE(paipaiCards, 1);
    QStringList handedOver = m_handOver.calls;
    handedOver.sort();
    QCOMPARE(handedOver, (QStringList{"20001234|CARD-A1", "20001234|CARD-B2"}));
}

void TestShopFlow::deliveryFailures_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("paipaiRefusal"); // the deal is unknown at the shop
    QTest::addColumn<bool>("expired");
    QTest::addColumn<int>("shippedAfterFault"); // consigns the shop counted at least, meanwhile

    // An answer lost on the way is no refusal: consignOfUnknownOutcome.
    QTest::newRow("shop session expired") << int(FaultKind::None) << false << true << 0;
    QTest::newRow("Paipai refusal") << int(FaultKind::None) << true << false << 0;
}

void TestShopFlow::deliveryFailures()
{
    QFETCH(int, fault);
    QFETCH(bool, paipaiRefusal);
    QFETCH(bool, expired);
    QFETCH(int, shippedAfterFault);

    QVERIFY(loginTaobao());
    QVERIFY(loginPaipai());
    QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(read.wait(20000));
    const QString ship = paipaiRefusal ? QStringLiteral("P9") : QStringLiteral("T9");
    const QString path = paipaiRefusal ? kMarkPath : kConsignPath;
    if (!paipaiRefusal)
        m_env.sim().addTaobaoOrder(taobaoOrder(ship, "x", "1", "1"));
    recharged(paipaiRefusal ? 2 : 1, ship, QStringLiteral("CARD-9"));
    m_env.sim().setFault(path, {FaultKind(fault), 0});
    if (expired)
        m_env.sim().expireTaobaoSession();
    QSignalSpy notes(&m_session->delivery(), &DeliveryController::deliveryNote);
    QSignalSpy cards(&m_session->delivery(), &DeliveryController::cardSent);

    // Not taken: the order stays recharged, says why, and is tried again.
    QVERIFY(step());
    QCOMPARE(statusOf(ship), 1);
    QCOMPARE(notes.size(), 1);
    QVERIFY(notes.first().first().toString().contains(ship));
    OrderBook &book = m_session->book();
    QVERIFY(listedText(book, book.rowOf(QStringLiteral("NO-") + ship), QStringLiteral("t7"))
                .startsWith(QStringLiteral("充值成功,发货失败：")));
    const int before = m_env.sim().taobaoConsignCount(ship);
    QVERIFY(before >= shippedAfterFault);
    // Not known to be shipped: no code went anywhere, no card says "已发".
    QVERIFY(cards.isEmpty());
    QVERIFY(m_handOver.calls.isEmpty());
    if (paipaiRefusal)
        return; // the shop keeps refusing it: nothing more to see

    m_env.sim().clearFaults();
    if (expired) {
        QVERIFY(loginTaobao());
        read.clear();
        QVERIFY(m_session->taobao().fetch());
        QVERIFY(read.wait(20000));
    }
    QVERIFY(step());
    QCOMPARE(statusOf(ship), 3);
    QCOMPARE(listedText(book, book.rowOf(QStringLiteral("NO-") + ship), QStringLiteral("t7")),
             QStringLiteral("充值成功,已经发货"));
    QCOMPARE(m_env.sim().taobaoConsignCount(ship), before + 1);
    // One sent card and one hand-over, however often it was tried.
    QCOMPARE(cards.size(), 1);
    QCOMPARE(m_handOver.calls.size(), 1);
}

void TestShopFlow::consignOfUnknownOutcome_data()
{
    QTest::addColumn<int>("shop");  // 1 Taobao, 2 Paipai
    QTest::addColumn<int>("fault"); // of the first consign
    // The first list after it: "whole", "garbled", "logged out", or "stale", the
    // answer to a request sent before the consign.
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("consigns"); // requests the shop got in all

    const int taken = int(FaultKind::RunThenDrop);
    QTest::newRow("Taobao: taken, answer lost") << 1 << taken << "whole" << 1;
    QTest::newRow("Taobao: taken, answer cut off") << 1 << int(FaultKind::Truncate) << "whole" << 1;
    QTest::newRow("Taobao: server error, still listed")
        << 1 << int(FaultKind::Error500) << "whole" << 2;
    QTest::newRow("Taobao: dropped unread, still listed")
        << 1 << int(FaultKind::Drop) << "whole" << 2;
    QTest::newRow("Taobao: garbled answer, still listed")
        << 1 << int(FaultKind::Garbage) << "whole" << 2;
    QTest::newRow("Paipai: taken, answer lost") << 2 << taken << "whole" << 1;
    QTest::newRow("Paipai: server error, still listed")
        << 2 << int(FaultKind::Error500) << "whole" << 2;
    QTest::newRow("Taobao: taken, list without its markers") << 1 << taken << "garbled" << 1;
    QTest::newRow("Taobao: still listed, list without its markers")
        << 1 << int(FaultKind::Error500) << "garbled" << 2;
    QTest::newRow("Taobao: taken, list asked before") << 1 << taken << "stale" << 1;
    QTest::newRow("Taobao: taken, seller logged out") << 1 << taken << "logged out" << 1;
    QTest::newRow("Paipai: taken, seller logged out") << 2 << taken << "logged out" << 1;
}

// A consign that may have reached the shop, with no answer read, is settled
// by the shop's next whole list of orders waiting for shipment: gone from it,
// the order is shipped without a second consign; still on it, it is consigned
// once more. A list that did not come whole decides nothing.
void TestShopFlow::consignOfUnknownOutcome()
{
    QFETCH(int, shop);
    QFETCH(int, fault);
    QFETCH(QString, list);
    QFETCH(int, consigns);

    sim::PlatformSim &sim = m_env.sim();
    const bool taobao = shop == 1;
    const QString ship = taobao ? QStringLiteral("T9") : QStringLiteral("P9");
    const QString path = taobao ? kConsignPath : kMarkPath;
    const auto shopCount = [&] {
        return taobao ? sim.taobaoConsignCount(ship) : sim.paipaiMarkCount(ship);
    };
    if (taobao)
        sim.addTaobaoOrder(taobaoOrder(ship, "x", "1", "1"));
    else
        sim.addPaipaiDeal({ship, QStringLiteral("20001234"), "x", "1", ""});
    QVERIFY(loginTaobao());
    QVERIFY(loginPaipai());
    QVERIFY(confirmPaipai());
    QVERIFY(readList(1)); // the page's token
    const QString before = m_session->taobao().inet淘宝订单()->body();
    recharged(shop, ship, QStringLiteral("CARD-9"));
    DeliveryController &delivery = m_session->delivery();
    QSignalSpy refused(&delivery, &DeliveryController::shipFailed);
    QSignalSpy shipped(&delivery, &DeliveryController::shipped);
    QSignalSpy cards(&delivery, &DeliveryController::cardSent);
    OrderBook &book = m_session->book();
    const auto shown = [&] {
        return listedText(book, book.rowOf(QStringLiteral("NO-") + ship), QStringLiteral("t7"));
    };

    sim.setFault(path, {FaultKind(fault), 0});
    QVERIFY(step());
    sim.clearFaults();
    QCOMPARE(statusOf(ship), 1);
    QVERIFY2(shown().startsWith(QStringLiteral("充值成功,发货结果未知：")), qPrintable(shown()));
    // Nothing goes out again before the shop's list says what became of it.
    QVERIFY(step());
    QCOMPARE(requestsTo(path), 1);

    if (list != u"whole") {
        if (list == u"garbled")
            sim.setFault(taobao ? kOrderListPath : kDealListPath, {FaultKind::Garbage, 0});
        else if (list == u"logged out" && taobao)
            sim.expireTaobaoSession();
        else if (list == u"logged out")
            sim.expirePaipaiSession();
        if (list == u"stale")
            m_session->taobao().读取淘宝订单(before);
        else
            QVERIFY(readList(shop));
        QVERIFY(step());
        QCOMPARE(requestsTo(path), 1);
        QCOMPARE(statusOf(ship), 1);
        sim.clearFaults();
        if (list == u"logged out")
            QVERIFY(taobao ? loginTaobao() : loginPaipai() && confirmPaipai());
    }
    QVERIFY(readList(shop));
    QVERIFY(step());
    QCOMPARE(statusOf(ship), 3);
    QCOMPARE(shown(), QStringLiteral("充值成功,已经发货"));
    QCOMPARE(requestsTo(path), consigns);
    QCOMPARE(shopCount(), 1); // no repeat reached the shop
    QCOMPARE(shipped.size(), 1);
    QVERIFY(refused.isEmpty());
    // The card went with the first consign only.
    QCOMPARE(cards.size(), 1);
}

// The shop runs a consign after the client gave up on it, and after it
// listed the order once more: the consign sent on the strength of that list is
// refused as a repeat. That refusal is no proof either; the next list is.
void TestShopFlow::aLateConsignRefusesTheRepeat()
{
    sim::PlatformSim &sim = m_env.sim();
    QVERIFY(loginTaobao());
    QVERIFY(readList(1));
    sim.addTaobaoOrder(taobaoOrder(QStringLiteral("T9"), "x", "1", "1"));
    recharged(1, QStringLiteral("T9"), QString());
    DeliveryController &delivery = m_session->delivery();
    for (int i = 0; i < DeliveryController::kChannels; ++i)
        delivery.inet发货(i)->setTimeoutMs(300);
    QSignalSpy refused(&delivery, &DeliveryController::shipFailed);

    sim.setFault(kConsignPath, {FaultKind::Delay, 5000});
    QVERIFY(step());
    QVERIFY(readList(1)); // still listed: the shop has not run it yet
    QTRY_COMPARE_WITH_TIMEOUT(sim.taobaoConsignCount(QStringLiteral("T9")), 1, 20000);
    sim.clearFaults();
    QVERIFY(step());
    QCOMPARE(sim.taobaoConsignCount(QStringLiteral("T9")), 2);
    QCOMPARE(statusOf(QStringLiteral("T9")), 1);
    QVERIFY(refused.isEmpty());

    QVERIFY(readList(1));
    QVERIFY(step());
    QCOMPARE(statusOf(QStringLiteral("T9")), 3);
    QCOMPARE(requestsTo(kConsignPath), 2);
    QVERIFY(refused.isEmpty());
}

void TestShopFlow::aRefusedOrderDoesNotHoldUpTheOthers()
{
    // An order the shop does not know (deleted there, or of another shop)
    // stands first in the store; the ones behind it are shipped all the same,
    // and it keeps being tried in its turn.
    QVERIFY(loginTaobao());
    QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(read.wait(20000));
    recharged(1, QStringLiteral("GONE"), QString());
    for (const char *id : {"T1", "T2"}) {
        m_env.sim().addTaobaoOrder(taobaoOrder(QString::fromLatin1(id), "x", "1", "1"));
        recharged(1, QString::fromLatin1(id), QString());
    }
    for (int i = 0; i < 2; ++i)
        QVERIFY(step());
    QCOMPARE(statusOf(QStringLiteral("T1")), 3);
    QCOMPARE(statusOf(QStringLiteral("T2")), 3);
    QCOMPARE(statusOf(QStringLiteral("GONE")), 1);
    // GONE, T1, T2 at once; GONE again only at the next step.
    QCOMPARE(requestsTo(kConsignPath), 4);
}

void TestShopFlow::noTaobaoConsignWithoutToken()
{
    // After a restart, before the first order page: no token, no consign;
    // a Paipai order behind it is not held up.
    QVERIFY(loginPaipai());
    m_env.sim().addPaipaiDeal({QStringLiteral("P1"), QStringLiteral("20001234"), "x", "1", ""});
    recharged(1, QStringLiteral("T1"), QStringLiteral("CARD-1"));
    recharged(2, QStringLiteral("P1"), QString());
    QVERIFY(step());
    QCOMPARE(requestsTo(kConsignPath), 0);
    QCOMPARE(statusOf(QStringLiteral("T1")), 1);
    QCOMPARE(statusOf(QStringLiteral("P1")), 3);
    QVERIFY(m_handOver.calls.isEmpty());
}

void TestShopFlow::feedbackQueueSurvivesARestart()
{
    const QString file = m_dir->filePath(QStringLiteral("待反馈.txt"));
    QSignalSpy changed(&m_session->feedback(), &FeedbackQueue::changed);
    m_session->feedback().待反馈编码(1, QStringLiteral("补反馈<o>S1<o>1<o>C1<o>买家一"));
    m_session->feedback().待反馈编码(1, QStringLiteral("补反馈<o>S2<o>1<o>C2<o>买家二"));
    QCOMPARE(changed.size(), 2);

    FeedbackQueue again(file);
    again.待反馈编码(0);
    QCOMPARE(again.lines(), (QStringList{QStringLiteral("补反馈<o>S1<o>1<o>C1<o>买家一"),
                                         QStringLiteral("补反馈<o>S2<o>1<o>C2<o>买家二")}));
    // And the engine's producers reach it: a recharged order's code.
    m_session->submission().判断充值结果(
        QStringLiteral("<html><head><title>充值提交成功！--top--X1--end--</title></head><body>"
                       "9|x|R1</body></html>"),
        RechargeRequest{QStringLiteral("NO-T3"), 1});
    QCOMPARE(m_session->feedback().lines().size(), 2); // not listed: no line
}

void TestShopFlow::codesHandedOverOnceAcrossARestart()
{
    // Three Taobao card orders ship; the client ends before any code is
    // typed (the recording hand-over only takes them), and while H3's was
    // being typed. The next run types H1 and H2 once each and leaves H3 to the
    // agent, since it may have reached its buyer; the run after types nothing.
    QVERIFY(loginTaobao());
    QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(read.wait(20000));
    for (const char *id : {"H1", "H2", "H3"}) {
        m_env.sim().addTaobaoOrder(taobaoOrder(QString::fromLatin1(id), "x", "1", "1"));
        recharged(1, QString::fromLatin1(id), QStringLiteral("CODE-") + QLatin1String(id),
                  QStringLiteral("买家") + QLatin1String(id));
    }
    // The pending-feedback lines the recharge answers left, and one of an
    // order whose code went long ago.
    for (const char *id : {"H1", "H2", "H3", "OLD"})
        m_session->feedback().待反馈编码(
            1, QStringLiteral("补反馈<o>%1<o>1<o>CODE-%1<o>买家%1").arg(QLatin1String(id)));
    QVERIFY(step());
    QCOMPARE(statusOf(QStringLiteral("H1")), 3);
    QCOMPARE(statusOf(QStringLiteral("H2")), 3);
    QCOMPARE(m_handOver.orders.size(), 3);
    QCOMPARE(m_session->store().handOvers(HandOverState::Waiting, true)->size(), 3);
    QVERIFY(m_session->store()
                .moveHandOver(QStringLiteral("NO-H3"), HandOverState::Waiting,
                              HandOverState::Typing, QString(), true)
                .ok());

    const QString file = m_dir->filePath(QStringLiteral("data.mdb"));
    RecordingDesktop desktop;
    MessengerWindows windows;
    windows.classChain.clear(); // the chat window takes the text itself
    const auto restart = [&] {
        m_session.reset();
        m_session =
            std::make_unique<AgentSession>(m_endpoint, sqliteOrderDatabase(file), m_sites,
                                           m_dir->filePath(QStringLiteral("待反馈.txt")), m_network,
                                           **m_prompter, m_clipboard, nullptr, &desktop, windows);
        m_session->messenger().找窗口()->setInterval(3600000); // ticked by hand below
        m_session->start();
    };
    restart();
    MessengerHandOver &messenger = m_session->messenger();
    QCOMPARE(messenger.waiting(), 2);
    QCOMPARE(m_session->feedback().lines().size(), 3); // only what is still on its way
    const auto left = m_session->store().handOvers(HandOverState::Failed, true);
    QCOMPARE(left->size(), 1);
    QCOMPARE(left->first().orderNo, QStringLiteral("NO-H3"));
    QVERIFY(left->first().reason.contains(QStringLiteral("可能已经发出")));
    // The chats' titles need the seller's nick, which the member page gives.
    QSignalSpy again(&m_session->taobao(), &TaobaoHarvester::listRead);
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(again.wait(20000));
    QTRY_VERIFY_WITH_TIMEOUT(!m_session->taobao().sellerNick().isEmpty(), 20000);
    const QString nick = m_session->taobao().sellerNick();
    desktop.addTopLevel(QStringLiteral("买家H1 - ") + nick);
    desktop.addTopLevel(QStringLiteral("买家H2 - ") + nick);
    for (int i = 0; i < 2; ++i) {
        messenger.找窗口tick();
        messenger.关闭窗口tick();
    }
    QCOMPARE(desktop.log.filter(QStringLiteral("text ")).size(), 2);
    QCOMPARE(desktop.log.filter(QStringLiteral("CODE-H1")).size(), 1);
    QCOMPARE(desktop.log.filter(QStringLiteral("CODE-H2")).size(), 1);
    QVERIFY(desktop.log.filter(QStringLiteral("CODE-H3")).isEmpty());
    QVERIFY(m_session->store().handOvers(HandOverState::Waiting, true)->isEmpty());
    QCOMPARE(m_session->store().handOvers(HandOverState::HandedOver, true)->size(), 2);
    // Only H3's line is left: its code waits for the agent's decision.
    QCOMPARE(m_session->feedback().lines().size(), 1);
    FeedbackQueue onDisk(m_dir->filePath(QStringLiteral("待反馈.txt")));
    onDisk.待反馈编码(0);
    QCOMPARE(onDisk.lines(), m_session->feedback().lines());

    restart();
    QCOMPARE(m_session->messenger().waiting(), 0);
}

void TestShopFlow::codeOffWhenTheMessengerIsOff()
{
    // 旺旺发卡密 off: the order ships, nothing is typed or kept waiting, and
    // the sent card says that nothing was sent.
    m_handOver.on = false;
    QVERIFY(loginTaobao());
    QSignalSpy read(&m_session->taobao(), &TaobaoHarvester::listRead);
    QVERIFY(m_session->taobao().fetch());
    QVERIFY(read.wait(20000));
    m_env.sim().addTaobaoOrder(taobaoOrder(QStringLiteral("F1"), "x", "1", "1"));
    recharged(1, QStringLiteral("F1"), QStringLiteral("CODE-F1"));
    QSignalSpy cards(&m_session->delivery(), &DeliveryController::cardSent);
    QVERIFY(step());
    QCOMPARE(statusOf(QStringLiteral("F1")), 3);
    QVERIFY(m_handOver.calls.isEmpty());
    QVERIFY(m_session->store().handOvers(HandOverState::Waiting, true)->isEmpty());
    QCOMPARE(cards.size(), 1);
    QCOMPARE(cards.first().first().value<SentCard>().delivery, SentCard::NotSent);
    m_handOver.on = true;
}

QTEST_GUILESS_MAIN(TestShopFlow)
#include "tst_shopflow.moc"
