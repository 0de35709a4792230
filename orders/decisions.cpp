#include "orders/decisions.h"

#include "app/core/prompter.h"
#include "orders/orderbook.h"
#include "orders/orderhistory.h"
#include "orders/orderledger.h"
#include "orders/orderstore.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QAtomicInt logCounter;
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

const char *const kCreateLog = "CREATE TABLE IF NOT EXISTS 人工处理记录 ("
                               "%1, "
                               "时间 TEXT NOT NULL, "
                               "用户 TEXT NOT NULL, "
                               "操作员 TEXT NOT NULL DEFAULT '', "
                               "订单编号 TEXT NOT NULL, "
                               "充值号码 TEXT NOT NULL DEFAULT '', "
                               "售价 REAL NOT NULL DEFAULT 0, "
                               "原状态 INTEGER NOT NULL, "
                               "新状态 INTEGER NOT NULL, "
                               "决定 TEXT NOT NULL)";
const char *const kCreateLogIndex =
    "CREATE INDEX IF NOT EXISTS 人工处理记录_用户_订单编号 ON 人工处理记录 (用户, 订单编号)";

const char *const kHeaders[] = {"时间", "问题",     "充值号码", "充值业务",
                                "售价", "买家昵称", "订单编号", "情况"};

QString troubleText(Trouble t)
{
    switch (t) {
    case Trouble::Unknown:
        return QStringLiteral("结果未知");
    case Trouble::SubmitFailed:
        return QStringLiteral("提交失败");
    case Trouble::ConsignFailing:
        return QStringLiteral("发货失败");
    case Trouble::HandOverFailed:
        return QStringLiteral("卡密未发出");
    case Trouble::HandOverWaiting:
        return QStringLiteral("卡密待发送");
    case Trouble::Unmatched:
        return QStringLiteral("没有匹配的商品");
    }
    return {};
}

} // namespace

QString orderSummary(const RechargeOrder &o)
{
    return QStringLiteral("订单 %1，号码 %2，金额 %3 元")
        .arg(o.orderNo, o.rechargeAccount, orderNumberText(o.salePrice));
}

// ---- DecisionLog ----

DecisionLog::DecisionLog(const QString &path, const QString &userId)
    : DecisionLog(sqliteOrderDatabase(path), userId)
{}

DecisionLog::DecisionLog(const OrderDatabase &database, const QString &userId)
    : m_database(database), m_userId(userId),
      m_connection(QStringLiteral("decisionlog-%1").arg(logCounter.fetchAndAddRelaxed(1)))
{}

DecisionLog::~DecisionLog()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool DecisionLog::ensureOpen()
{
    if (QSqlDatabase::contains(m_connection) &&
        QSqlDatabase::database(m_connection, false).isOpen())
        return true;
    if (const QString error = openOrderConnection(m_database, m_connection); !error.isEmpty()) {
        m_lastError = error;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    const QString key = isPostgres(m_database)
                            ? QStringLiteral("编号 BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY")
                            : QStringLiteral("编号 INTEGER PRIMARY KEY");
    if (!q.exec(QString::fromUtf8(kCreateLog).arg(key)) ||
        !q.exec(QString::fromUtf8(kCreateLogIndex))) {
        m_lastError = q.lastError().text().trimmed();
        db.close();
        return false;
    }
    return true;
}

bool DecisionLog::record(const Decision &d)
{
    if (!ensureOpen())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("INSERT INTO 人工处理记录 (时间, 用户, 操作员, 订单编号, 充值号码, "
                             "售价, 原状态, 新状态, 决定) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QVariant values[] = {
        d.time.toString(kTimeFormat), columnText(m_userId),          columnText(d.operatorName),
        columnText(d.orderNo),        columnText(d.rechargeAccount), d.salePrice,
        statusNumber(d.fromStatus),   statusNumber(d.toStatus),      columnText(d.decision),
    };
    for (int i = 0; i < int(std::size(values)); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec()) {
        m_lastError = q.lastError().text().trimmed();
        return false;
    }
    return true;
}

std::optional<QList<Decision>> DecisionLog::decisions(const QString &orderNo)
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT 时间, 用户, 操作员, 订单编号, 充值号码, 售价, 原状态, "
                                 "新状态, 决定 FROM 人工处理记录 WHERE 用户 = ?");
    if (!orderNo.isEmpty())
        sql += QStringLiteral(" AND 订单编号 = ?");
    sql += QStringLiteral(" ORDER BY 编号");
    q.prepare(sql);
    q.bindValue(0, columnText(m_userId));
    if (!orderNo.isEmpty())
        q.bindValue(1, orderNo);
    if (!q.exec()) {
        m_lastError = q.lastError().text().trimmed();
        return std::nullopt;
    }
    QList<Decision> list;
    while (q.next()) {
        Decision d;
        d.time = QDateTime::fromString(q.value(0).toString(), kTimeFormat);
        d.userId = q.value(1).toString();
        d.operatorName = q.value(2).toString();
        d.orderNo = q.value(3).toString();
        d.rechargeAccount = q.value(4).toString();
        d.salePrice = q.value(5).toDouble();
        d.fromStatus = statusFromNumber(q.value(6).toInt());
        d.toStatus = statusFromNumber(q.value(7).toInt());
        d.decision = q.value(8).toString();
        list.append(d);
    }
    return list;
}

// ---- UnresolvedOrders ----

UnresolvedOrders::UnresolvedOrders(OrderHistory &history, DecisionLog &log, const OrderBook *book,
                                   UnmatchedOrders *unmatched, QObject *parent)
    : QAbstractTableModel(parent), m_history(history), m_log(log), m_book(book),
      m_unmatched(unmatched)
{
    setObjectName(QStringLiteral("unresolvedOrders"));
}

int UnresolvedOrders::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int UnresolvedOrders::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(std::size(kHeaders));
}

QVariant UnresolvedOrders::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || role != Qt::DisplayRole)
        return {};
    const UnresolvedOrder &u = m_rows.at(index.row());
    switch (index.column()) {
    case 0:
        return u.when.toString(kTimeFormat);
    case 1:
        return troubleText(u.trouble);
    case 2:
        return u.order.rechargeAccount;
    case 3:
        return u.order.productName;
    case 4: // an unmatched order has no price until the agent chooses one
        return u.order.orderNo.isEmpty() || u.trouble == Trouble::Unmatched
                   ? QString()
                   : orderNumberText(u.order.salePrice);
    case 5:
        return u.order.buyerNick;
    case 6:
        return u.order.orderNo;
    case 7:
        return u.what;
    }
    return {};
}

QVariant UnresolvedOrders::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < int(std::size(kHeaders)))
        return QString::fromUtf8(kHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

int UnresolvedOrders::rowOf(const QString &orderNo) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).order.orderNo == orderNo)
            return i;
    return -1;
}

bool UnresolvedOrders::refresh()
{
    QList<UnresolvedOrder> rows;
    for (const OrderStatus status : {OrderStatus::Submitting, OrderStatus::SubmitFailed}) {
        OrderFilter f;
        f.status = status;
        const auto found = m_history.search(f, kLimit);
        if (!found) {
            m_lastError = m_history.lastError();
            return false;
        }
        for (const HistoryRow &r : *found) {
            UnresolvedOrder u;
            u.order = r.order;
            u.when = r.order.rechargeTime;
            if (status == OrderStatus::Submitting) {
                // Still out in this session: its answer may yet come.
                if (m_inFlight) {
                    if (m_inFlight(r.order.orderNo))
                        continue;
                } else if (m_book) {
                    const auto e = m_book->entry(r.order.orderNo);
                    if (e && e->order.status == OrderStatus::Submitting && e->note.isEmpty())
                        continue;
                }
                u.trouble = Trouble::Unknown;
                u.what = QStringLiteral("请求已发出，没有收到平台可读的应答：请在销售记录中核实");
            } else {
                u.trouble = Trouble::SubmitFailed;
                u.what = QStringLiteral("提交失败，订单没有送到平台");
                const auto decided = m_log.decisions(r.order.orderNo);
                if (decided && !decided->isEmpty() &&
                    decided->last().decision == kDecisionNotRecharged)
                    u.what = QStringLiteral("%1 已核实未充值（%2），可重新提交")
                                 .arg(decided->last().time.toString(kTimeFormat),
                                      decided->last().operatorName);
            }
            rows.append(u);
        }
    }
    if (m_unmatched) {
        const auto waiting = m_unmatched->waiting();
        if (!waiting) {
            m_lastError = m_unmatched->lastError();
            return false;
        }
        for (const UnmatchedOrder &w : *waiting) {
            UnresolvedOrder u;
            u.trouble = Trouble::Unmatched;
            u.unmatched = w;
            u.when = w.firstSeen;
            u.order.orderType = w.orderType;
            u.order.orderNo = w.orderNo;
            u.order.shipNo = w.shipNo;
            u.order.buyerNick = w.buyerNick;
            u.order.rechargeAccount = w.rechargeAccount;
            u.order.productName = w.productName;
            u.order.rechargeTime = w.firstSeen;
            u.what = QStringLiteral("买家已付款，数量 %1，目录中没有匹配的商品：请选择商品充值，"
                                    "或不予充值")
                         .arg(w.quantityText);
            rows.append(u);
        }
    }
    for (const UnresolvedOrder &u : std::as_const(m_consign))
        rows.append(u);
    if (m_handOvers) {
        const std::optional<QList<HandOver>> kept = m_handOvers();
        if (!kept) {
            m_lastError = QStringLiteral("卡密交接记录读不出来");
            return false;
        }
        for (const HandOver &h : *kept) {
            UnresolvedOrder u;
            u.trouble = h.state == HandOverState::Failed ? Trouble::HandOverFailed
                                                         : Trouble::HandOverWaiting;
            u.when = h.time;
            u.what = h.state == HandOverState::Failed
                         ? QStringLiteral("卡密 %1 没有发给买家（试过 %2 次）：%3")
                               .arg(h.cardCode)
                               .arg(h.tries)
                               .arg(h.reason)
                         : QStringLiteral("卡密 %1 等待旺旺发给买家").arg(h.cardCode);
            u.order.orderNo = h.orderNo;
            u.order.shipNo = h.shipNo;
            u.order.buyerNick = h.buyer;
            u.order.cardCode = h.cardCode;
            u.order.status = OrderStatus::Shipped;
            u.handOver = h;
            rows.append(u);
        }
    } else {
        for (const UnresolvedOrder &u : std::as_const(m_handOver))
            rows.append(u);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a.when > b.when; });
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
    m_lastError.clear();
    return true;
}

void UnresolvedOrders::consignFailed(const QString &shipNo, const QString &reason)
{
    UnresolvedOrder u;
    u.trouble = Trouble::ConsignFailing;
    u.when = QDateTime::currentDateTime();
    u.what = QStringLiteral("店铺没有接受发货标记：") + reason;
    u.order.shipNo = shipNo;
    if (m_book) {
        const QString orderNo = m_book->findByShipNo(shipNo);
        if (const auto e = m_book->entry(orderNo))
            u.order = e->order;
    }
    if (u.order.orderNo.isEmpty())
        u.order.orderNo = shipNo;
    m_consign.insert(shipNo, u);
    refresh();
}

void UnresolvedOrders::shipped(const QString &shipNo)
{
    if (m_consign.remove(shipNo))
        refresh();
}

void UnresolvedOrders::handOverFailed(const QString &buyer, const QString &cardCode,
                                      const QString &reason)
{
    if (m_handOvers) {
        refresh(); // the store holds it, with its reason
        return;
    }
    UnresolvedOrder u;
    u.trouble = Trouble::HandOverFailed;
    u.when = QDateTime::currentDateTime();
    u.what = QStringLiteral("卡密 %1 没有发给买家：%2").arg(cardCode, reason);
    u.order.buyerNick = buyer;
    u.order.cardCode = cardCode;
    m_handOver.insert(buyer + QChar(0) + cardCode, u);
    refresh();
}

void UnresolvedOrders::handedOver(const QString &buyer, const QString &cardCode)
{
    if (m_handOvers) {
        refresh();
        return;
    }
    if (m_handOver.remove(buyer + QChar(0) + cardCode))
        refresh();
}

// ---- OrderDecisions ----

OrderDecisions::OrderDecisions(OrderLedger &ledger, DecisionLog &log, Prompter &prompter,
                               const QString &title, const QString &operatorName, Resolver resolver,
                               QObject *parent)
    : QObject(parent), m_ledger(ledger), m_log(log), m_prompter(prompter), m_title(title),
      m_operator(operatorName), m_resolver(std::move(resolver))
{}

void OrderDecisions::log(const RechargeOrder &order, OrderStatus from, OrderStatus to,
                         const QString &decision)
{
    Decision d;
    d.time = m_ledger.clock().now();
    d.operatorName = m_operator;
    d.orderNo = order.orderNo;
    d.rechargeAccount = order.rechargeAccount;
    d.salePrice = order.salePrice;
    d.fromStatus = from;
    d.toStatus = to;
    d.decision = decision;
    if (!m_log.record(d))
        m_prompter.inform(m_title, QStringLiteral("订单状态已改，但这次处理没有记入处理记录：") +
                                       m_log.lastError());
}

bool OrderDecisions::apply(const RechargeOrder &order, OrderStatus toStatus,
                           const QString &decision, const QString &question, const QString &note)
{
    if (!m_prompter.ask(m_title, question))
        return false;
    const StepResult recorded = m_ledger.recordDecision(order, toStatus, note);
    if (recorded.outcome == StepResult::Moved) {
        const QString now = recorded.now ? 状态转换(recorded.now->status) : QString();
        m_prompter.inform(
            m_title, QStringLiteral("这笔订单的状态已经变了%1，什么也没有改变，"
                                    "请看过现在的状态再处理。")
                         .arg(now.isEmpty() ? QString() : QStringLiteral("（现在：%1）").arg(now)));
        emit decided(order.orderNo);
        return false;
    }
    if (!recorded.done()) {
        m_prompter.inform(m_title, QStringLiteral("状态没有写入订单数据库，什么也没有改变：") +
                                       recorded.error);
        return false;
    }
    log(order, order.status, toStatus, decision);
    emit decided(order.orderNo);
    return true;
}

bool OrderDecisions::moveHandOver(const HandOver &handOver, HandOverState to,
                                  const QString &decision, const QString &question)
{
    if (!m_prompter.ask(m_title, question))
        return false;
    const StepResult recorded = m_ledger.recordHandOver(handOver.orderNo, handOver.state, to);
    if (recorded.outcome == StepResult::Moved) {
        m_prompter.inform(m_title, QStringLiteral("这个卡密的发送情况已经变了，什么也没有改变。"));
        emit decided(handOver.orderNo);
        return false;
    }
    if (!recorded.done()) {
        m_prompter.inform(m_title,
                          QStringLiteral("没有写入订单数据库，什么也没有改变：") + recorded.error);
        return false;
    }
    Decision d;
    d.time = m_ledger.clock().now();
    d.operatorName = m_operator;
    d.orderNo = handOver.orderNo;
    d.fromStatus = OrderStatus::Shipped;
    d.toStatus = OrderStatus::Shipped;
    d.decision = decision;
    if (!m_log.record(d))
        m_prompter.inform(m_title, QStringLiteral("已经改了，但这次处理没有记入处理记录：") +
                                       m_log.lastError());
    emit decided(handOver.orderNo);
    return true;
}

bool OrderDecisions::resendHandOver(const HandOver &handOver)
{
    if (handOver.state != HandOverState::Failed)
        return false;
    if (!moveHandOver(handOver, HandOverState::Waiting, kDecisionResend,
                      QStringLiteral("用旺旺把卡密 %1 再发给买家 %2？")
                          .arg(handOver.cardCode, handOver.buyer)))
        return false;
    HandOver again = handOver;
    again.state = HandOverState::Waiting;
    emit handOverResent(again);
    return true;
}

bool OrderDecisions::markHandedByHand(const HandOver &handOver)
{
    if (handOver.state != HandOverState::Failed && handOver.state != HandOverState::Waiting)
        return false;
    if (!moveHandOver(handOver, HandOverState::HandedByHand, kDecisionHandedByHand,
                      QStringLiteral("确认卡密 %1 已经用别的办法发给买家 %2？客户端不会再发它。")
                          .arg(handOver.cardCode, handOver.buyer)))
        return false;
    emit handedByHand(handOver);
    return true;
}

bool OrderDecisions::markRecharged(const RechargeOrder &order)
{
    if (order.status != OrderStatus::Submitting)
        return false;
    return apply(order, OrderStatus::Recharged, kDecisionRecharged,
                 QStringLiteral("确认这笔订单已经充值成功？\n%1\n请先在销售记录中核实。")
                     .arg(orderSummary(order)),
                 QString());
}

bool OrderDecisions::markNotRecharged(const RechargeOrder &order)
{
    if (order.status != OrderStatus::Submitting)
        return false;
    return apply(order, OrderStatus::SubmitFailed, kDecisionNotRecharged,
                 QStringLiteral("确认这笔订单没有充值？\n%1\n它不会自动重新提交，需要时请用"
                                "“重新提交”。")
                     .arg(orderSummary(order)),
                 QStringLiteral("已核实未充值"));
}

bool OrderDecisions::resubmit(const RechargeOrder &order)
{
    if (order.status != OrderStatus::SubmitFailed)
        return false;
    if (!apply(order, OrderStatus::Waiting, kDecisionResubmit,
               QStringLiteral("重新提交这笔订单？平台会再充值一次。\n%1").arg(orderSummary(order)),
               QString()))
        return false;
    emit resubmitted(order.orderNo, order.orderType);
    return true;
}

bool OrderDecisions::unmatchedOutcome(const StepResult &result)
{
    if (result.outcome == StepResult::Moved) {
        m_prompter.inform(m_title, QStringLiteral("这笔订单已经处理过了（在别处，或已经按商品"
                                                  "充值），什么也没有改变。"));
        return false;
    }
    if (!result.done()) {
        m_prompter.inform(m_title, QStringLiteral("处理没有写入订单数据库，什么也没有改变：") +
                                       result.error);
        return false;
    }
    return true;
}

bool OrderDecisions::rechargeUnmatched(const UnmatchedOrder &u, const QString &product,
                                       const QString &amount)
{
    if (u.state != UnmatchedState::Waiting)
        return false;
    const std::optional<CatalogueMatch> match =
        m_resolver ? m_resolver(product, amount) : std::nullopt;
    const std::optional<RechargeOrder> matched =
        match
            ? matchedOrder(newOrderOf(u), *match, m_ledger.clock().now(), m_ledger.store().userId())
            : std::nullopt;
    if (!matched) {
        m_prompter.inform(
            m_title,
            QStringLiteral("目录中没有商品“%1”面值 %2，请重新选择。").arg(product, amount));
        return false;
    }
    const RechargeOrder &order = *matched;
    if (!m_prompter.ask(m_title, QStringLiteral("按“%1”面值 %2 充值这笔订单？平台会充值一次，"
                                                "充值后在店铺发货。\n%3\n店铺商品：%4 ×%5")
                                     .arg(match->platformProduct, amount, orderSummary(order),
                                          u.productName, u.quantityText)))
        return false;
    const StepResult result = m_ledger.rechargeUnmatched(u, order, m_operator);
    const bool done = unmatchedOutcome(result);
    if (done)
        log(order, kUnmatchedStatus, OrderStatus::Waiting, kDecisionRechargeUnmatched);
    if (result.outcome != StepResult::NotSaved)
        emit decided(u.orderNo);
    return done;
}

bool OrderDecisions::dismissUnmatched(const UnmatchedOrder &u)
{
    if (u.state != UnmatchedState::Waiting)
        return false;
    RechargeOrder order;
    order.orderNo = u.orderNo;
    order.rechargeAccount = u.rechargeAccount;
    if (!m_prompter.ask(m_title,
                        QStringLiteral("不充值这笔订单？买家已付款，请在店铺中退款或"
                                       "联系买家。\n订单 %1，号码 %2\n店铺商品：%3 ×%4")
                            .arg(u.orderNo, u.rechargeAccount, u.productName, u.quantityText)))
        return false;
    const StepResult result = m_ledger.dismissUnmatched(u, m_operator);
    const bool done = unmatchedOutcome(result);
    if (done)
        log(order, kUnmatchedStatus, kUnmatchedStatus, kDecisionDismissUnmatched);
    if (result.outcome != StepResult::NotSaved)
        emit decided(u.orderNo);
    return done;
}
