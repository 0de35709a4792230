#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMultiMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// A stand-in for the agent platform, the market places and the outside
// services: a real HTTP server on 127.0.0.1 with a small state. It shares no
// code with the client, so the client's encoders are checked against an
// independent reading of the wire.
namespace sim {

class BalanceServer;

struct LoggedRequest
{
    QString method;
    QString target; // path with the raw, still percent-encoded query
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The keys of the query and then of a form body, in the order they were
    // written: what a value pasted in unescaped would change.
    QStringList keys() const;
};

enum class FaultKind
{
    None,
    Delay,
    Drop,
    Error500,
    Garbage,
    Truncate,
    RunThenDrop
};

// How one path misbehaves. Drop, Error500 and Garbage answer without running
// the page, so its state is untouched; Delay and Truncate run it. RunThenDrop
// runs the page and then closes the connection without a word: the platform
// did the work and the client never hears of it.
struct Fault
{
    FaultKind kind = FaultKind::None;
    int delayMs = 0; // Delay: wait, then answer normally
};

// One paid shop order made by PlatformSim::seedShopOrders.
struct SeededOrder
{
    QString shop;    // "taobao" or "paipai"
    QString orderNo; // the key the client recharges it with
    QString shipId;  // what its consign or mark names: Taobao order id, Paipai deal id
    QString product;
    bool card = false; // the platform hands a card code for it
    QString fault;     // its recharge request's fault: "", "delay", "drop", "rundrop"
};

struct Account
{
    QString account, password, tradePassword, balance, frozenFunds, bonusCommission,
        salesCommission, level, userId, userName;
};

// One product of the platform's catalogue, as newproduct.asp sends it.
struct Product
{
    QString list; // category
    QString name;
    QString price; // multiplier of the face values in 元
    QString qu;    // "号", or what the area choice is called
    QString value; // unit|label=cost|...
};

// One recharge the platform accepted (productcz1.asp?action=cz).
struct RechargeRecord
{
    QString key; // the client's order number
    QString account;
    QString product;
    QString target; // game_userid
    QString area;
    QString cardnum;
    QString counts;
    QString lx;
    QString cx;
    QString rechargeId;
    QString cardCode; // without hyphens and blanks; empty for other products
    double cost = 0;
    int status = 0;    // 0 working, 1 recharged, 2 failed and refunded
    int pollsLeft = 1; // polls that ask about it before it finishes
    bool succeeds = true;
};

// How a Taobao order block writes the buyer's account: each item template of
// the shops asks for it under other labels.
enum class TaobaoAccountForm
{
    Phone,             // 手机/小灵通号码:account备注:
    GameArea,          // 所在区/服:area游戏帐号:account备注::
    QQ,                // QQ:account备注::
    UserName,          // 充值用户名:account，
    UserNameMethod,    // 充值用户名:account充值方式:area，
    UserNameMethodType // 充值用户名:account账号类型:…充值方式:area，
};

// A paid order of the Taobao seller, waiting to be consigned.
struct TaobaoOrder
{
    QString orderId; // the shop's internal id, taken by the consign request
    QString orderNo; // the number buyer and seller see
    QString title, quantity, buyer, account;
    QString area; // game area or recharge method, for the forms that carry one
    TaobaoAccountForm form = TaobaoAccountForm::Phone;
};

// A paid deal of the Paipai seller, waiting to be marked shipped.
struct PaipaiDeal
{
    QString dealId, buyerUin, itemName, itemCount;
    QString postscript; // the buyer's message, written as it came
};

// The two market places (shoppages.cpp). Orders and deals stay here when
// they are shipped; the shops list only those not yet shipped.
struct Shops
{
    QList<TaobaoOrder> taobaoOrders;
    QHash<QString, int> taobaoConsigns;     // order id -> consign requests, repeats too
    QHash<QString, QString> taobaoSessions; // session cookie -> its _tb_token_
    QList<PaipaiDeal> paipaiDeals;
    QHash<QString, int> paipaiMarks;         // deal id -> mark requests, repeats too
    QHash<QString, QString> paipaiCardCodes; // deal id -> card code of the last mark
    QHash<QString, bool> paipaiSessions;     // session cookie -> trade password confirmed
    // The messenger's dispatch link, as opened: seller (fromid), buyer (sendid).
    QList<QPair<QString, QString>> messengerDispatches;

    void addTaobaoOrder(const TaobaoOrder &order); // replaces one of the same id
    const TaobaoOrder *findTaobaoOrder(const QString &orderId) const;
    QList<TaobaoOrder> waitingTaobaoOrders() const;
    void addPaipaiDeal(const PaipaiDeal &deal); // replaces one of the same id
    const PaipaiDeal *findPaipaiDeal(const QString &dealId) const;
    QList<PaipaiDeal> waitingPaipaiDeals() const;

    // What platform-sim starts with: orders whose titles the demo catalogue
    // matches.
    static Shops demo();
};

// One goods row of the agent's goods list (productlist.asp).
struct GoodsListRow
{
    QString name;
    QString price; // in 元, shown with the unit
    QString key;
    QString status;
    QString card;
};

// One code the card-storing form (cunCard_Step2.asp) received.
struct StoredCardCode
{
    QString account;
    QString code;
};

// What a page handler sees. Query and form values are percent-decoded to
// bytes and then decoded from GBK; a bare '+' stays a '+'.
struct Request
{
    QString method;
    QString path;   // decoded
    QString target; // raw, as on the request line
    QMultiMap<QString, QString> query;
    QMultiMap<QString, QString> form; // POST application/x-www-form-urlencoded
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    // First value of a header, case-insensitive; empty when absent.
    QString header(const QByteArray &name) const;
    // First value of a query (or form) key; empty when absent.
    QString queryValue(const QString &key) const { return query.value(key); }
    QString formValue(const QString &key) const { return form.value(key); }
};

struct Page
{
    int status = 200;
    QString title;
    QString body; // HTML of <body>
    QString raw;
    bool useRaw = false;             // raw text answer (no html wrapper), still sent in GBK
    std::optional<QByteArray> bytes; // sent exactly as given, before raw and title/body
    QByteArray contentType = "text/html; charset=gbk";
    QList<QPair<QByteArray, QByteArray>> extraHeaders; // e.g. Set-Cookie

    static Page html(const QString &title, const QString &body);
    static Page text(const QString &text); // raw GBK text/plain
};

// The platform's data. Handlers get it under the simulator's lock; tests reach
// it through PlatformSim.
class State
{
public:
    State();

    void addAccount(const Account &a); // replaces an account of the same name
    Account *findAccount(const QString &name);
    const Account *findAccount(const QString &name) const;

    // A fresh random key of 32 hex digits for a successful login; earlier keys
    // of the account stay valid.
    QString openSession(const QString &account);
    bool isValidSession(const QString &key) const;
    Account *accountForSession(const QString &key);
    QString lastSessionKey(const QString &account) const;

    QString versionTitle() const { return m_versionTitle; }
    void setVersionTitle(const QString &title) { m_versionTitle = title; }
    // The update's address; defaults to rootUrl() + "download/agent-client".
    QString downloadUrl() const;
    void setDownloadUrl(const QString &url) { m_downloadUrl = url; }

    QString rootUrl() const { return m_rootUrl; }
    void setRootUrl(const QString &url) { m_rootUrl = url; }

    // The catalogue every product page serves, in the order it is sent.
    const QList<Product> &products() const { return m_products; }
    void setProducts(const QList<Product> &products) { m_products = products; }
    static QList<Product> defaultProducts(); // cataloguepages.cpp

    // Recharges (rechargepages.cpp). A card product (unit 个 in 游戏) gets a
    // card code.
    static bool isCardProduct(const Product &product);
    const Product *findProduct(const QString &name) const;
    QList<RechargeRecord> &recharges() { return m_recharges; }
    RechargeRecord *findRecharge(const QString &rechargeId);
    // How many times the key was recharged (never more than once).
    int rechargeCount(const QString &key) const;
    QString nextRechargeId()
    {
        return QStringLiteral("CZ%1").arg(++m_rechargeSerial, 6, 10, QLatin1Char('0'));
    }
    int rechargeSerial() const { return m_rechargeSerial; }
    // Recharges accepted from now on finish at the polls-th poll that asks
    // about them, recharged or failed and refunded. Default: 1, recharged.
    void setRechargeFinish(int polls, bool succeeds);
    int finishPolls() const { return m_finishPolls; }

    // The agent's goods list and the codes stored through the card-storing
    // form (inventorypages.cpp).
    const QList<GoodsListRow> &goodsRows() const { return m_goodsRows; }
    void setGoodsRows(const QList<GoodsListRow> &rows) { m_goodsRows = rows; }
    static QList<GoodsListRow> defaultGoodsRows();
    QList<StoredCardCode> &storedCardCodes() { return m_storedCardCodes; }
    bool finishSucceeds() const { return m_finishSucceeds; }

    Shops &shops() { return m_shops; }
    const Shops &shops() const { return m_shops; }

    // The agent websites' five settings, by user id (apiwait12.asp).
    QHash<QString, QStringList> &agentSites() { return m_agentSites; }

private:
    QMap<QString, Account> m_accounts;
    QHash<QString, QString> m_sessions; // key -> account
    QHash<QString, QString> m_lastKeys; // account -> newest key
    QString m_versionTitle;
    QString m_downloadUrl;
    QString m_rootUrl;
    QList<Product> m_products;
    QList<RechargeRecord> m_recharges;
    int m_rechargeSerial = 0;
    int m_finishPolls = 1;
    bool m_finishSucceeds = true;
    Shops m_shops;
    QList<GoodsListRow> m_goodsRows;
    QList<StoredCardCode> m_storedCardCodes;
    QHash<QString, QStringList> m_agentSites;
};

class PlatformSim
{
public:
    PlatformSim();
    ~PlatformSim(); // stops if running
    PlatformSim(const PlatformSim &) = delete;
    PlatformSim &operator=(const PlatformSim &) = delete;

    // Binds 127.0.0.1 only; 0 takes a free port. Returns the port, or -1.
    int start(int port = 0);
    void stop();
    bool isRunning() const;
    int port() const;            // -1 when not running
    QString rootUrl() const;     // "http://127.0.0.1:<port>/"
    QString platformUrl() const; // rootUrl() + "platform/"

    // The client.ini of the demo: every address points at this server.
    bool writeConfig(const QString &file, QString *error = nullptr) const;
    QString configText() const;

    using Handler = std::function<Page(const Request &, State &)>;
    // Exact path, e.g. "/platform/index1.asp"; replaces an existing one.
    // Handlers run under the state lock.
    void addPage(const QString &path, Handler h);

    // In arrival order; also served as JSON at GET /__sim/requests.
    QList<LoggedRequest> requests() const;
    void clearRequests(); // POST /__sim/reset also clears the faults

    // POST /__sim/faults
    // {"path":..,"kind":"delay|drop|500|garbage|truncate|rundrop|none","delayMs":N}
    void setFault(const QString &path, Fault f);
    void clearFaults();

    void addAccount(const Account &a);
    std::optional<Account> account(const QString &name) const;
    QString lastSessionKey(const QString &account) const;
    bool isValidSession(const QString &key) const;
    void setVersionTitle(const QString &title); // default "1.5"
    void setDownloadUrl(const QString &url);
    QList<Product> products() const;
    void setProducts(const QList<Product> &products); // default State::defaultProducts()
    int rechargeCount(const QString &key) const;
    // Recharge requests (productcz1.asp) received with this order key, whether
    // or not they were run; counted since the last clearRequests().
    int rechargeRequestsFor(const QString &key) const;
    QList<RechargeRecord> recharges() const;
    // Closes every open connection, kept-alive idle ones included, as a
    // server or proxy does when it restarts or times them out.
    void dropConnections();
    void setRechargeFinish(int polls, bool succeeds);
    // A fault for the recharge requests of one order key only; it wins over
    // the fault of productcz1.asp. Fault{} (None) removes it.
    void setKeyFault(const QString &key, Fault f);
    // Recharge requests received per order key since the start, whether or
    // not they were run; never cleared.
    int rechargeRequestTotal(const QString &key) const;
    // Replaces the shops' orders with n paid ones, Taobao and Paipai mixed,
    // phone credit, Q coins and card products, every one matching the
    // default catalogue; a few get a recharge fault (a delay of 3 s, a drop
    // before the platform runs it, a drop after). The same seed gives the
    // same orders. The demo account's balance is raised to pay for them all.
    QList<SeededOrder> seedShopOrders(int n, quint32 seed);
    QList<SeededOrder> seededOrders() const;
    // Per seeded order: recharge requests, recharges, the platform's status,
    // consigns or marks; and the orders the shops still list. Served at
    // GET /__sim/summary.
    QByteArray summaryJson() const;
    // The same, one line an order: order number, ship id, shop, "card" or
    // "credit", fault or "-", requests, recharges, status, shipped.
    QByteArray summaryText() const;
    void setGoodsRows(const QList<GoodsListRow> &rows); // default State::defaultGoodsRows()
    QList<StoredCardCode> storedCardCodes() const;

    // The market places. The lists are what the shops show now: paid orders
    // not yet consigned, paid deals not yet marked shipped. A consign or mark
    // of an order already shipped is answered with an error page, as a shop
    // answers it, and counted, so that a client's repeat shows.
    void addTaobaoOrder(const TaobaoOrder &order);
    QList<TaobaoOrder> taobaoOrders() const;
    int taobaoConsignCount(const QString &orderId) const;
    void expireTaobaoSession(); // every session cookie issued so far stops working
    QString taobaoNick() const;
    void addPaipaiDeal(const PaipaiDeal &deal);
    QList<PaipaiDeal> paipaiDeals() const;
    int paipaiMarkCount(const QString &dealId) const;
    QString paipaiMarkedCardCode(const QString &dealId) const; // of the last mark
    void expirePaipaiSession();
    // Every opening of the messenger's dispatch link: (fromid, sendid).
    QList<QPair<QString, QString>> messengerDispatches() const;
    void clearShops(); // no orders, no deals, no counts, every session ended

    // The phone-bill balance server, a TCP server on a port of its own that
    // starts and stops with the simulator.
    BalanceServer &balanceServer();
    int balancePort() const; // -1 when not running

    // Runs f on the state under the lock, for what the accessors above miss.
    void withState(const std::function<void(State &)> &f);

    static Account demoAccount();
    // The text of /big?n=N: N characters, ASCII and Chinese mixed, always the same.
    static QString bigText(int n);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Percent-decodes to bytes, leaving '+' and stray '%' as they are.
QByteArray percentDecode(const QByteArray &text);
QString fromGbk(const QByteArray &bytes);
QByteArray toGbk(const QString &text);
// key=value pairs joined by '&', each side percent-decoded and read as GBK.
QMultiMap<QString, QString> parseUrlEncoded(const QByteArray &text);

} // namespace sim
