#pragma once

#include "orders/orderledger.h"
#include "shop/shopsites.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class NetworkAccess;
class PaipaiHarvester;
class QTimer;
class TaobaoHarvester;
class Transfer;
struct RechargeOrder;
struct WaitingList;

// Where a Taobao buyer's card code goes once the shop accepted the shipping
// mark: the messenger hand-over. One call per order, with what the store keeps
// of it.
class CardHandOver
{
public:
    virtual ~CardHandOver() = default;
    // Off (旺旺发卡密 unticked): a shipped order's code is not handed over.
    virtual bool takesCodes() const { return true; }
    virtual void handOver(const HandOver &handOver) = 0;
};

// One row of the sent-card list ListView2.
struct SentCard
{
    enum Delivery
    {
        NotSent, // a Taobao code with 旺旺发卡密 off: nobody typed it
        Waiting, // a Taobao code on its way through the messenger
        Sent,    // a Paipai code: it went with the shipping mark
    };
    QString product;
    QString cardCode;
    int quantity = 0;
    QString buyer;
    QString platform; // "淘宝" or "拍拍"
    Delivery delivery = Sent;
    QDateTime time;
    QString shipNo = {};
};

// The pending-feedback queue List反馈: lines "补反馈<o>…". It lives in the
// file "待反馈.txt" of the working directory, so that it survives a restart.
class FeedbackQueue : public QObject
{
    Q_OBJECT
public:
    explicit FeedbackQueue(QString path, QObject *parent = nullptr);

    QStringList lines() const { return m_lines; }
    QString path() const { return m_path; }

    // Mode 0 loads the file (when it exists), 1 adds the line and saves, 2 saves.
    void 待反馈编码(int mode, const QString &line = QString());
    // The code of the order with this number (field two of a line) reached
    // its buyer, or the agent decided it: its lines go, and the file is saved.
    void remove(const QString &orderKey);
    // Keeps only the lines whose order's code is still pending.
    void retain(const std::function<bool(const QString &orderKey)> &pending);

signals:
    void changed(const QStringList &lines);
    // The file could not be written; the queue is kept in memory.
    void saveFailed(const QString &error);

private:
    QString m_path;
    QStringList m_lines;
};

// The delivery step: every five seconds (Timer淘宝拍拍发货), and after each
// status reply, recharged shop orders are marked shipped at their shops, one
// on each free channel of Inet发货0 … Inet发货5; a channel whose mark the
// shop took goes on with the next order at once. The shop's answer decides: only an
// order the shop took is written 3; a refusal, or a request that never left,
// leaves it at 1, says why, and a later step tries again, after the orders
// that have not failed. While its request is out an order is not offered
// again.
//
// A shop answers a second consign of a shipped order with an error page, so
// a consign that may have reached the shop without an answer read (timed
// out, cut off, a server error, an unreadable page, or out when the client
// ended) is never simply sent again. The store keeps such an order of
// unknown outcome, and the shop's list of orders waiting for shipment
// settles it: the first whole list of its shop asked after the outcome
// became unknown here either still offers it, and it is consigned again, or
// it no longer does, and the order is recorded shipped.
class DeliveryController : public QObject
{
    Q_OBJECT
public:
    static constexpr int kChannels = 6;
    static constexpr int kIntervalMs = 5000;

    DeliveryController(OrderLedger &ledger, NetworkAccess &network, const ShopSites &sites,
                       const TaobaoHarvester &taobao, const PaipaiHarvester &paipai,
                       CardHandOver &handOver, QObject *parent = nullptr);

    QTimer *timer() const { return m_timer; }
    Transfer *inet发货(int channel) const;
    // The timer, and the orders an earlier run left of unknown shipping
    // outcome, which the shops' next lists settle.
    void start();

    void 淘宝拍拍发货();
    // The first idle channel from first on, or -1.
    int 获取空闲发货inet(int first) const;
    // Sends the order's consign request on the channel; false when it could not start.
    bool 发货(const RechargeOrder &order, int channel);

    // "已发" for 1, empty otherwise.
    static QString 订单状态(int status);

signals:
    void cardSent(const SentCard &card);
    // For the status bar: an order that could not be marked shipped, and why.
    void deliveryNote(const QString &text);
    void shipped(const QString &shipNo);
    // The shop did not take the mark of this order (it stays at 1 and is tried again).
    void shipFailed(const QString &shipNo, const QString &reason);

private:
    // One order on each free channel; orders whose last consign failed only
    // when withFailing, after the others.
    void shipNext(bool withFailing);
    bool isOut(const QString &shipNo) const;
    void onAnswer(int channel, int state);
    void failed(const QString &shipNo, const QString &reason, bool stillDoubted = false);
    // The shop has the order: recorded shipped, and its card code sent on.
    StepResult recordShippedAtShop(const RechargeOrder &order, const QString &shipNo, bool taobao);
    void unknown(const QString &shipNo, int shop, const QString &reason,
                 bool refusedAfterDoubt = false);
    // An order of unknown outcome this run has not met: a list asked from
    // now on settles it.
    void noteUnknown(const RechargeOrder &order);
    void settleUnknown(const WaitingList &list);
    quint64 listsAsked(int shop) const;

    OrderLedger &m_ledger;
    ShopSites m_sites;
    const TaobaoHarvester &m_taobao;
    const PaipaiHarvester &m_paipai;
    CardHandOver &m_handOver;
    QTimer *m_timer;
    QList<Transfer *> m_inet;
    struct OutConsign
    {
        QString shipNo;
        bool taobao = false;
        RechargeOrder order; // as it was sent: its code and buyer for after the answer
    };
    // Channel -> the consign out on it: an order whose consign is out is not
    // offered again.
    QHash<int, OutConsign> m_out;
    // When each order's last consign failed: an order the shop keeps refusing
    // goes behind the others instead of holding them up.
    QHash<QString, QDateTime> m_lastFailure;
    // Ship number of an order of unknown outcome -> the lists of its shop
    // asked before this run knew: an earlier list may predate the consign.
    QHash<QString, quint64> m_unknown;
};
