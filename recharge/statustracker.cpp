#include "recharge/statustracker.h"

#include "app/core/gbk.h"
#include "app/core/platform.h"
#include "app/web/transfer.h"
#include "orders/orderbook.h"
#include "orders/orderstore.h"
#include "orders/rechargeorder.h"

#include <QTimer>

namespace {

const QString kRecordEnd = QStringLiteral("</m>");

// The text between the record's first start tag and the first end tag after
// it; empty when the record lacks either.
QString tagged(QStringView record, QStringView start, QStringView end)
{
    const qsizetype from = record.indexOf(start);
    if (from < 0)
        return QString();
    const qsizetype begin = from + start.size();
    const qsizetype to = record.indexOf(end, begin);
    if (to < 0)
        return QString();
    return record.sliced(begin, to - begin).toString();
}

} // namespace

QString statusPollBody(const QStringList &rechargeIds, const QString &sj, const QString &sessionKey)
{
    QString ids;
    for (const QString &id : rechargeIds)
        ids += escapeValue(id) + QLatin1Char('|');
    return QStringLiteral("action=cx&chargestuat=") + ids + QStringLiteral("&sj=") + sj +
           QStringLiteral("&sessionkey=") + escapeValue(sessionKey);
}

std::optional<QList<StatusRecord>> readStatusReply(const QString &reply)
{
    if (!reply.startsWith(QLatin1Char('3')))
        return std::nullopt;
    QList<StatusRecord> records;
    QStringView rest(reply);
    for (qsizetype end = rest.indexOf(kRecordEnd); end >= 0; end = rest.indexOf(kRecordEnd)) {
        // A record's fields are its own: a record missing its card code must not
        // take the next order's, nor one missing its id apply its status to the
        // next order.
        const QStringView record = rest.first(end);
        records.append({tagged(record, u"<id>", u"</id>"),
                        tagged(record, u"<status>", u"</status>"),
                        tagged(record, u"<hw>", u"</hw>")});
        rest = rest.sliced(end + kRecordEnd.size());
    }
    return records;
}

bool isPollStatus(const QString &status)
{
    return status == QLatin1String("0") || status == QLatin1String("1") ||
           status == QLatin1String("2");
}

StatusTracker::StatusTracker(OrderBook &book, OrderStore &store, NetworkAccess &network,
                             const PlatformEndpoint &endpoint, QObject *parent)
    : QObject(parent), m_book(book), m_store(store), m_endpoint(endpoint),
      m_timer(new QTimer(this)), m_inet(new Transfer(network, this))
{
    setObjectName(QStringLiteral("statusTracker"));
    m_timer->setObjectName(QStringLiteral("验证"));
    m_timer->setInterval(kStatusPollIntervalMs);
    m_inet->setObjectName(QStringLiteral("验证Inet"));
    connect(m_timer, &QTimer::timeout, this, [this] { poll(); });
    connect(m_inet, &Transfer::stateChanged, this, &StatusTracker::onStateChanged);
}

void StatusTracker::start()
{
    m_timer->start();
}

bool StatusTracker::poll()
{
    if (m_inet->stillExecuting())
        return false;
    const auto waiting = m_store.waitingOrders();
    if (!waiting || waiting->isEmpty())
        return false;
    QStringList ids;
    for (const RechargeOrder &order : *waiting)
        ids.append(order.rechargeId);
    return m_inet->execute(m_endpoint.page(kStatusPage), QStringLiteral("POST"),
                           statusPollBody(ids, NewSjValue(), m_endpoint.sessionKey),
                           kFormContentTypeHeader);
}

void StatusTracker::onStateChanged(int state)
{
    // A failed poll changes nothing: the orders stay at 0 and are asked about
    // again at the next tick.
    if (state != Transfer::ResponseCompleted)
        return;
    readReply(m_inet->readChunks(1024));
}

bool StatusTracker::readReply(const QString &reply)
{
    const auto records = readStatusReply(reply);
    if (!records)
        return false;
    QList<StatusRecord> taken;
    for (const StatusRecord &record : *records) {
        if (isPollStatus(record.status))
            taken.append(record);
        else
            emit recordIgnored(QStringLiteral("平台对充值编号 %1 报告了无效的状态“%2”，已忽略")
                                   .arg(record.rechargeId, record.status));
    }
    // One commit for the whole reply. A file that cannot be written keeps
    // none of it: what the lists show must be what the store holds, and the
    // next poll asks again.
    const bool written = taken.isEmpty() || m_store.inTransaction([&] {
        for (const StatusRecord &record : std::as_const(taken)) {
            // Written only while the order still waits: another seat may
            // have read the same answer and carried the order on already.
            if (m_store.writePollResult(record.rechargeId, record.status.toInt(), record.cardCode)
                    .outcome == WriteBackResult::Failed)
                return false;
        }
        return true;
    });
    if (!written)
        return false;
    for (const StatusRecord &record : std::as_const(taken)) {
        updateList(record);
    }
    if (m_delivery)
        m_delivery();
    emit replyRead();
    return true;
}

void StatusTracker::updateList(const StatusRecord &record)
{
    const QString orderNo = m_book.findByRechargeId(record.rechargeId);
    if (orderNo.isEmpty())
        return;
    if (record.status == QLatin1String("1")) {
        m_book.setStatus(orderNo, OrderStatus::Recharged);
        if (!record.cardCode.isEmpty()) // the store keeps its code too
            m_book.setCardCode(orderNo, record.cardCode);
    } else if (record.status == QLatin1String("2")) {
        m_book.setStatus(orderNo, OrderStatus::Refunded);
    }
}
