#pragma once

#include "app/core/endpoint.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class NetworkAccess;
class OrderBook;
class OrderStore;
class QTimer;
class Transfer;

inline const QString kStatusPage = QStringLiteral("chargestatus.asp");
inline constexpr int kStatusPollIntervalMs = 3000;

// "action=cx&chargestuat=R1|R2|&sj=…&sessionkey=…": every id followed by "|".
QString statusPollBody(const QStringList &rechargeIds, const QString &sj,
                       const QString &sessionKey);

// One record of the platform's status reply.
struct StatusRecord
{
    QString rechargeId;
    QString status;   // decimal text
    QString cardCode; // empty unless a card product was recharged

    bool operator==(const StatusRecord &) const = default;
};

// The records of a reply, in order; nullopt when it does not begin with "3".
// Each record ends with "</m>"; its fields are the text between the first of
// their tags inside it, empty when the record lacks them.
std::optional<QList<StatusRecord>> readStatusReply(const QString &reply);
// What a poll may report: 0 still working, 1 recharged, 2 failed and refunded.
// Anything else would move a sent order where no rule follows it (-2 would
// send it again after a restart), so it is not taken.
bool isPollStatus(const QString &status);

// Asks the platform every three seconds on 验证Inet what became of the
// account's orders it accepted without finishing (status 0), writes the
// answers to the store and the order book, and then runs the delivery step.
class StatusTracker : public QObject
{
    Q_OBJECT
public:
    using DeliveryStep = std::function<void()>;

    StatusTracker(OrderBook &book, OrderStore &store, NetworkAccess &network,
                  const PlatformEndpoint &endpoint, QObject *parent = nullptr);

    void setEndpoint(const PlatformEndpoint &endpoint) { m_endpoint = endpoint; }

    QTimer *timer() const { return m_timer; }
    Transfer *transfer() const { return m_inet; }
    // 淘宝拍拍发货 of the main window, called once after each reply read.
    void setDeliveryStep(DeliveryStep step) { m_delivery = std::move(step); }

    // Starts 验证.
    void start();
    // One tick: a poll of the waiting orders; nothing when none waits or a
    // poll is still out. True when a poll was sent.
    bool poll();
    // Writes the records of a reply; false when it was not read.
    bool readReply(const QString &reply);

signals:
    void replyRead();
    // A record the client does not take, for the status bar.
    void recordIgnored(const QString &note);

private:
    void onStateChanged(int state);
    void updateList(const StatusRecord &record);

    OrderBook &m_book;
    OrderStore &m_store;
    PlatformEndpoint m_endpoint;
    QTimer *m_timer;
    Transfer *m_inet;
    DeliveryStep m_delivery;
};
