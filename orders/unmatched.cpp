#include "orders/unmatched.h"

#include "orders/orderledger.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char *const kColumns = "类型, 订单编号, 发货编号, 买家昵称, 充值号码, 充值业务, 购买数量, "
                             "服务区, 查询地区, 发现时间, 席位, 状态, 处理人, 处理席位, 处理时间";

UnmatchedOrder unmatchedFrom(const QSqlQuery &q)
{
    UnmatchedOrder o;
    o.orderType = q.value(0).toInt();
    o.orderNo = q.value(1).toString();
    o.shipNo = q.value(2).toString();
    o.buyerNick = q.value(3).toString();
    o.rechargeAccount = q.value(4).toString();
    o.productName = q.value(5).toString();
    o.quantityText = q.value(6).toString();
    o.serverArea = q.value(7).toString();
    o.queryArea = q.value(8).toString();
    o.firstSeen = storedTimeFrom(q.value(9).toString());
    o.seat = q.value(10).toString();
    o.state = static_cast<UnmatchedState>(q.value(11).toInt());
    o.decidedBy = q.value(12).toString();
    o.decidedSeat = q.value(13).toString();
    o.decidedAt = storedTimeFrom(q.value(14).toString());
    return o;
}

QString sourceName(int orderType)
{
    return orderType == 2 ? QStringLiteral("拍拍") : QStringLiteral("淘宝");
}

} // namespace

UnmatchedOrder unmatchedOf(const NewOrder &n, const QDateTime &firstSeen)
{
    UnmatchedOrder u;
    u.orderType = n.type;
    u.orderNo = n.orderNo;
    u.shipNo = n.shipNo;
    u.buyerNick = n.buyerNick;
    u.rechargeAccount = n.rechargeAccount;
    u.productName = n.productName;
    u.quantityText = n.quantityText;
    u.serverArea = n.serverArea;
    u.queryArea = n.queryArea;
    u.firstSeen = firstSeen;
    return u;
}

NewOrder newOrderOf(const UnmatchedOrder &u)
{
    return NewOrder{.type = u.orderType,
                    .shipNo = u.shipNo,
                    .orderNo = u.orderNo,
                    .buyerNick = u.buyerNick,
                    .rechargeAccount = u.rechargeAccount,
                    .quantityText = u.quantityText,
                    .productName = u.productName,
                    .serverArea = u.serverArea,
                    .queryArea = u.queryArea};
}

UnmatchedOrders::UnmatchedOrders(OrderStore &store) : m_store(store) {}

std::optional<QSqlQuery> UnmatchedOrders::query()
{
    QSqlDatabase db = m_store.connection();
    if (!db.isOpen())
        return std::nullopt;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    return q;
}

Take UnmatchedOrders::record(const UnmatchedOrder &o)
{
    std::optional<QSqlQuery> made = query();
    if (!made) // the store could not be opened, and has said why
        return Take::Failed;
    QSqlQuery &q = *made;
    // Any unique index will do as the conflict: the account's order number.
    q.prepare(
        QStringLiteral("INSERT INTO 未匹配订单 (用户, 类型, 订单编号, 发货编号, 买家昵称, "
                       "充值号码, 充值业务, 购买数量, 服务区, 查询地区, 发现时间, 席位, 状态) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0) "
                       "ON CONFLICT DO NOTHING"));
    const QVariant values[] = {
        columnText(m_store.userId()), o.orderType,
        columnText(o.orderNo),        columnText(o.shipNo),
        columnText(o.buyerNick),      columnText(o.rechargeAccount),
        columnText(o.productName),    columnText(o.quantityText),
        columnText(o.serverArea),     columnText(o.queryArea),
        storedTimeText(o.firstSeen),  columnText(m_store.seat()),
    };
    for (int i = 0; i < int(std::size(values)); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec()) {
        m_store.statementFailed(QStringLiteral("cannot keep unmatched order %1").arg(o.orderNo), q);
        return Take::Failed;
    }
    return q.numRowsAffected() == 1 ? Take::Taken : Take::AlreadyStored;
}

std::optional<QList<UnmatchedOrder>> UnmatchedOrders::read(QSqlQuery &q, const QString &what)
{
    if (!q.exec()) {
        m_store.statementFailed(QStringLiteral("cannot read %1").arg(what), q);
        return std::nullopt;
    }
    QList<UnmatchedOrder> orders;
    while (q.next())
        orders.append(unmatchedFrom(q));
    if (q.lastError().isValid()) {
        m_store.statementFailed(QStringLiteral("cannot read %1").arg(what), q);
        return std::nullopt;
    }
    return orders;
}

std::optional<QList<UnmatchedOrder>> UnmatchedOrders::waiting()
{
    std::optional<QSqlQuery> made = query();
    if (!made)
        return std::nullopt;
    QSqlQuery &q = *made;
    q.prepare(QStringLiteral("SELECT %1 FROM 未匹配订单 u WHERE 用户 = ? AND 状态 = 0 "
                             "AND NOT EXISTS (SELECT 1 FROM 充值订单 c "
                             "WHERE c.用户 = u.用户 AND c.订单编号 = u.订单编号) "
                             "ORDER BY rowid")
                  .arg(QString::fromUtf8(kColumns)));
    q.bindValue(0, columnText(m_store.userId()));
    return read(q, QStringLiteral("the unmatched orders"));
}

std::optional<UnmatchedOrder> UnmatchedOrders::order(const QString &orderNo)
{
    std::optional<QSqlQuery> made = query();
    if (!made)
        return std::nullopt;
    QSqlQuery &q = *made;
    q.prepare(QStringLiteral("SELECT %1 FROM 未匹配订单 WHERE 用户 = ? AND 订单编号 = ?")
                  .arg(QString::fromUtf8(kColumns)));
    q.bindValue(0, columnText(m_store.userId()));
    q.bindValue(1, columnText(orderNo));
    const auto orders = read(q, QStringLiteral("unmatched order %1").arg(orderNo));
    if (!orders || orders->isEmpty())
        return std::nullopt;
    return orders->first();
}

Claim UnmatchedOrders::decide(const QString &orderNo, UnmatchedState to, const QString &decidedBy,
                              const QDateTime &at)
{
    std::optional<QSqlQuery> made = query();
    if (!made)
        return Claim::Failed;
    QSqlQuery &q = *made;
    q.prepare(
        QStringLiteral("UPDATE 未匹配订单 SET 状态 = ?, 处理人 = ?, 处理席位 = ?, 处理时间 = ? "
                       "WHERE 用户 = ? AND 订单编号 = ? AND 状态 = 0"));
    q.bindValue(0, static_cast<int>(to));
    q.bindValue(1, columnText(decidedBy));
    q.bindValue(2, columnText(m_store.seat()));
    q.bindValue(3, storedTimeText(at));
    q.bindValue(4, columnText(m_store.userId()));
    q.bindValue(5, columnText(orderNo));
    if (!q.exec()) {
        m_store.statementFailed(QStringLiteral("cannot decide unmatched order %1").arg(orderNo), q);
        return Claim::Failed;
    }
    return q.numRowsAffected() == 1 ? Claim::Claimed : Claim::TakenElsewhere;
}

QString unmatchedLine(const UnmatchedOrder &o)
{
    return QStringLiteral("%1 %2 订单 %3 买家 %4 号码 %5 “%6” ×%7 没有匹配的商品")
        .arg(orderTimeText(o.firstSeen), sourceName(o.orderType), o.orderNo, o.buyerNick,
             o.rechargeAccount, o.productName, o.quantityText);
}

// ---- UnmatchedList ----

UnmatchedList::UnmatchedList(OrderLedger &ledger, QObject *parent)
    : QAbstractListModel(parent), m_ledger(ledger)
{
    setObjectName(QStringLiteral("unmatchedList"));
    connect(&ledger, &OrderLedger::unmatchedFound, this, &UnmatchedList::add);
    connect(&ledger, &OrderLedger::unmatchedDecided, this,
            [this](const UnmatchedOrder &order) { drop(order.orderNo); });
}

int UnmatchedList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_orders.size());
}

QVariant UnmatchedList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_orders.size())
        return {};
    const UnmatchedOrder &o = m_orders.at(index.row());
    if (role == Qt::DisplayRole)
        return unmatchedLine(o);
    if (role == OrderNoRole)
        return o.orderNo;
    return {};
}

int UnmatchedList::rowOf(const QString &orderNo) const
{
    for (int i = 0; i < m_orders.size(); ++i)
        if (m_orders.at(i).orderNo == orderNo)
            return i;
    return -1;
}

bool UnmatchedList::reload()
{
    const auto waiting = m_ledger.unmatched().waiting();
    if (!waiting)
        return false;
    QList<UnmatchedOrder> orders;
    for (const UnmatchedOrder &o : *waiting) {
        if (!m_cleared.contains(o.orderNo))
            orders.prepend(o);
    }
    beginResetModel();
    m_orders = std::move(orders);
    endResetModel();
    return true;
}

void UnmatchedList::clear()
{
    for (const UnmatchedOrder &o : std::as_const(m_orders))
        m_cleared.insert(o.orderNo);
    beginResetModel();
    m_orders.clear();
    endResetModel();
}

void UnmatchedList::add(const UnmatchedOrder &order)
{
    if (rowOf(order.orderNo) >= 0)
        return;
    beginInsertRows({}, 0, 0);
    m_orders.prepend(order);
    endInsertRows();
}

void UnmatchedList::drop(const QString &orderNo)
{
    const int row = rowOf(orderNo);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_orders.removeAt(row);
    endRemoveRows();
}
