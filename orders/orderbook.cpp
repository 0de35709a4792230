#include "orders/orderbook.h"

QString OrderEntry::statusText() const
{
    const QString text = note.isEmpty() ? 状态转换(order.status) : note;
    return statusNotSaved ? text + kStatusNotSavedSuffix : text;
}

QString orderNumberText(double value)
{
    return QString::number(value, 'g', 15);
}

QString orderTimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString orderKey(const RechargeOrder &order)
{
    return order.randomNo.isEmpty() ? order.orderNo : order.randomNo;
}

OrderBook::OrderBook(QObject *parent) : QAbstractListModel(parent)
{
    setObjectName(QStringLiteral("orderBook"));
}

int OrderBook::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant OrderBook::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const OrderEntry &e = at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case OrderNoRole:
        return e.order.orderNo;
    case OrderTypeRole:
        return e.order.orderType;
    case EntryRole:
        return QVariant::fromValue(e);
    default:
        return {};
    }
}

bool OrderBook::显示订单(const RechargeOrder &order)
{
    const int existing = rowOf(order.orderNo);
    if (existing >= 0 && !order.orderNo.isEmpty()) {
        const qsizetype at = positionOf(existing);
        dropKeys(at);
        m_entries[at] = OrderEntry{order, {}, false, false};
        addKeys(at);
        changed(existing);
    } else {
        beginInsertRows({}, 0, 0);
        m_entries.append(OrderEntry{order, {}, false, false});
        addKeys(m_entries.size() - 1);
        endInsertRows();
    }
    return true;
}

bool OrderBook::remove(const QString &orderNo)
{
    const int row = rowOf(orderNo);
    if (row < 0)
        return false;
    beginRemoveRows({}, row, row);
    m_entries.removeAt(positionOf(row));
    // Positions after it moved: rare enough to index everything again.
    m_byOrderNo.clear();
    m_byShipNo.clear();
    m_byRechargeId.clear();
    for (qsizetype at = 0; at < m_entries.size(); ++at)
        addKeys(at);
    endRemoveRows();
    return true;
}

void OrderBook::addKeys(qsizetype at)
{
    const RechargeOrder &o = m_entries.at(at).order;
    m_byOrderNo.insert(o.orderNo, at); // the newest of an order number stands for it
    if (!o.shipNo.isEmpty())
        m_byShipNo.insert(o.shipNo, at);
    if (!o.rechargeId.isEmpty())
        m_byRechargeId.insert(o.rechargeId, at);
}

void OrderBook::dropKeys(qsizetype at)
{
    const RechargeOrder &o = m_entries.at(at).order;
    if (const auto it = m_byOrderNo.constFind(o.orderNo); it != m_byOrderNo.cend() && *it == at)
        m_byOrderNo.erase(it);
    m_byShipNo.remove(o.shipNo, at);
    m_byRechargeId.remove(o.rechargeId, at);
}

int OrderBook::newest(const QMultiHash<QString, qsizetype> &hash, const QString &key,
                      const std::function<bool(const RechargeOrder &)> &fits) const
{
    qsizetype best = -1;
    for (auto it = hash.constFind(key); it != hash.cend() && it.key() == key; ++it) {
        if (*it > best && (!fits || fits(m_entries.at(*it).order)))
            best = *it;
    }
    return best < 0 ? -1 : rowOfPosition(best);
}

int OrderBook::rowOf(const QString &orderNo) const
{
    const auto it = m_byOrderNo.constFind(orderNo);
    return it == m_byOrderNo.cend() ? -1 : rowOfPosition(*it);
}

std::optional<OrderEntry> OrderBook::entry(const QString &orderNo) const
{
    const int row = rowOf(orderNo);
    if (row < 0)
        return std::nullopt;
    return at(row);
}

QStringList OrderBook::waiting(int orderType) const
{
    QStringList orderNos;
    for (qsizetype at = m_entries.size() - 1; at >= 0; --at) {
        const OrderEntry &e = m_entries.at(at);
        if (e.order.orderType == orderType && e.order.status == OrderStatus::Waiting &&
            e.note.isEmpty() && !e.order.orderNo.isEmpty())
            orderNos << e.order.orderNo;
    }
    return orderNos;
}

QString OrderBook::findByShipNo(const QString &shipNo) const
{
    if (shipNo.isEmpty())
        return {};
    const int row = newest(m_byShipNo, shipNo, {});
    return row < 0 ? QString() : at(row).order.orderNo;
}

QString OrderBook::findByRechargeId(const QString &rechargeId) const
{
    // An empty id would match every order that has none yet.
    if (rechargeId.isEmpty())
        return {};
    const int row = newest(m_byRechargeId, rechargeId, {});
    return row < 0 ? QString() : at(row).order.orderNo;
}

void OrderBook::changed(int row)
{
    emit dataChanged(index(row), index(row));
}

void OrderBook::setStatus(const QString &orderNo, OrderStatus status, const QString &note,
                          bool alert, bool statusNotSaved)
{
    const int row = rowOf(orderNo);
    if (row < 0)
        return;
    OrderEntry &e = m_entries[positionOf(row)];
    e.order.status = status;
    e.note = note;
    e.alert = alert;
    e.statusNotSaved = statusNotSaved;
    changed(row);
}

void OrderBook::setNote(const QString &orderNo, const QString &note, bool alert)
{
    const int row = rowOf(orderNo);
    if (row < 0)
        return;
    OrderEntry &e = m_entries[positionOf(row)];
    e.note = note;
    e.alert = alert;
    changed(row);
}

void OrderBook::setAnswer(const QString &orderNo, OrderStatus status, const QString &rechargeId,
                          const QString &cardCode, const QString &note, bool statusNotSaved)
{
    const int row = rowOf(orderNo);
    if (row < 0)
        return;
    const qsizetype at = positionOf(row);
    dropKeys(at);
    OrderEntry &e = m_entries[at];
    e.order.status = status;
    e.order.rechargeId = rechargeId;
    e.order.printMark = cardCode;
    e.order.cardCode = cardCode;
    e.note = note;
    e.alert = false;
    e.statusNotSaved = statusNotSaved;
    addKeys(at);
    changed(row);
}

void OrderBook::setCardCode(const QString &orderNo, const QString &cardCode)
{
    const int row = rowOf(orderNo);
    if (row < 0)
        return;
    m_entries[positionOf(row)].order.cardCode = cardCode;
    changed(row);
}
