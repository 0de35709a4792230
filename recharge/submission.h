#pragma once

#include "app/core/endpoint.h"
#include "orders/orderledger.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

class Clipboard;
class NetworkAccess;
class Prompter;
class Transfer;

// ---- The recharge request ----

inline const QString kRechargePage = QStringLiteral("productcz1.asp?action=cz");
inline const QString kRechargeOperation = QStringLiteral("POST");
// In the title of an accepted answer.
inline const QString kRechargeAccepted = QStringLiteral("充值提交成功！");

// The fields of one waiting order that go into its request.
struct RechargeRequestFields
{
    QString platformProduct; // t14
    QString quantity;        // t4
    QString rechargeAccount; // row text
    QString serverArea;      // t15
    QString orderNo;         // t12
    QString actualQuantity;  // t16
    QString queryArea;       // t17
};

// The form body, keys in the platform's order; every value escaped so that
// what a buyer writes can never add or change a key.
QString rechargeRequestBody(const RechargeRequestFields &fields, const QString &sessionKey,
                            int kind);

// What a recharge component's request is about, while it is out.
struct RechargeRequest
{
    QString orderNo;
    int kind = 0; // 0 manual, 1 Taobao, 2 Paipai
    bool manual() const { return kind == 0; }
};

// What the platform's first answer says. An answer that the order key was
// taken before means the platform holds the order, whatever became of it, and
// an acceptance that is still working but names no recharge id cannot be
// followed: both say nothing of the outcome.
struct RechargeAnswer
{
    enum Kind
    {
        Refused,    // the title is the platform's message
        Accepted,   // status 0 or 1
        Unreadable, // nothing can be said of the order: see reason
    };
    Kind kind = Unreadable;
    QString title;
    QString reason;  // why an Unreadable answer says nothing
    QString balance; // field 0; "-1" when not reported
    QString rechargeId;
    QString cardCode;                             // hyphens and blanks removed
    OrderStatus status = OrderStatus::Submitting; // 0 or 1 when accepted, 2 when refused
};
RechargeAnswer readRechargeAnswer(const QString &response);

// "当前交易：  " + count + " 笔"
QString tradeCountText(int count);

// Sends the orders that wait in the order book on the seven recharge
// components and records the platform's first answer in the store and the
// book.
//
// The components are the children "Inet充值0" … "Inet充值6": 0 to 5 are the
// pool for shop orders (kinds 1 and 2), 6 carries manual orders (kind 0)
// alone, one at a time.
//
// Every order ends in a status that tells the truth: refused (2), accepted
// (0 or 1), not delivered (4, no byte of the request reached the network; a
// shop order waits for the next scan once before that), or unknown (the
// request went out and no readable answer came back: the store keeps -1, the
// row shows kOutcomeUnknownText and the order is never sent again, since the
// platform may have recharged it). A 5xx answer counts as unknown: the
// platform may have taken the order before it failed.
//
// Every recharge request goes out at most once (Transfer::setAtMostOnce), and
// only a request of which no byte reached the network counts as not delivered.
class SubmissionController : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPoolSize = 6;
    static constexpr int kManualComponent = 6;
    // A shop order whose request never left is sent again after this long.
    static constexpr int kResendAfterMs = 2000;

    using FeedbackSink = std::function<void(const QString &line)>;

    SubmissionController(OrderLedger &ledger, NetworkAccess &network,
                         const PlatformEndpoint &endpoint, Prompter &prompter, Clipboard &clipboard,
                         QObject *parent = nullptr);

    // A new login's key, or another platform.
    void setEndpoint(const PlatformEndpoint &endpoint) { m_endpoint = endpoint; }

    Transfer *inet充值(int index) const;
    // Requests still waiting for their answer, on all seven components.
    int outstanding() const;
    // A manual order is out on component 6.
    bool manualBusy() const;
    // The order's request is out on one of the components.
    bool isOut(const QString &orderNo) const;
    int tradeCount() const { return m_tradeCount; }
    void resetTradeCount() { m_tradeCount = 0; }

    // The delivery queue: 待反馈编码(1, line) of the main window.
    void setFeedbackSink(FeedbackSink sink) { m_feedback = std::move(sink); }

    // Sends the waiting orders of the kind, newest first: kind 0 the first
    // waiting manual order on component 6, kinds 1 and 2 the waiting Taobao
    // and Paipai orders on the pool, while a pool component is free. Orders
    // that find no free component keep waiting.
    void 充值订单请求(int kind);
    // 0 to 5: the first pool component not executing; -1 when all are busy.
    int 获取空闲充值inet() const;
    // False when the request could not start; the order then is as it was.
    bool 发送充值订单(const RechargeRequestFields &fields, int component, int kind);
    // The order whose request is out on the component; nothing when it is idle.
    std::optional<RechargeRequest> requestOn(int component) const;
    void 判断充值结果(const QString &response, const RechargeRequest &request);
    void l7反馈(const QString &text, const QString &rechargeId, const QString &cardCode,
                const RechargeRequest &request, OrderStatus status);

signals:
    // The balance label jprice: balance + " 元".
    void balanceTextChanged(const QString &text);
    // Label3: the text of tradeCountText(count).
    void tradeCountChanged(int count, const QString &text);
    // The answer to a manual order is in (or it ended otherwise): cz may be
    // enabled again.
    void czMayBeEnabled();
    // Component 6 took a manual order (true) or is free with none waiting
    // (false): cz follows it.
    void manualBusyChanged(bool busy);
    // The last outstanding request has been answered.
    void allAnswered();

private:
    void onStateChanged(int index, int state);
    void onFailure(int index, const RechargeRequest &request);
    void markUnknown(const RechargeRequest &request, const QString &reason);
    void markNotDelivered(const RechargeRequest &request, const QString &reason);
    void markNotSent(const QString &orderNo, const QString &reason);
    void inform(const QString &text);

    OrderLedger &m_ledger;
    NetworkAccess &m_network;
    PlatformEndpoint m_endpoint;
    Prompter &m_prompter;
    Clipboard &m_clipboard;
    QList<Transfer *> m_inet;
    QHash<int, RechargeRequest> m_out; // component -> the request out on it
    FeedbackSink m_feedback;
    int m_tradeCount = 0;
    // Shop orders put back to wait after a request that never left: once each,
    // and not before a moment has passed.
    QSet<QString> m_sentAgain;
    QHash<QString, QDeadlineTimer> m_heldUntil;
};
