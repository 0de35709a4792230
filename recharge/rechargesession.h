#pragma once

#include "app/core/endpoint.h"
#include "orders/orderintake.h"
#include "orders/orderledger.h"
#include "orders/unmatched.h"
#include "recharge/cataloguecontroller.h"
#include "recharge/statustracker.h"
#include "recharge/submission.h"

#include <QObject>

// Shown after kNotDeliveredPrefix for a counter order an earlier run left unsent.
inline const QString kEarlierRunText =
    QStringLiteral("上次运行没有提交，不会自动充值，请核实后重新下单");

class Clipboard;
class NetworkAccess;
class Prompter;

// The recharge engine of one login: the order ledger (store and book), the
// catalogue, the intake, submission and status tracking, and the list of the
// paid shop orders no product matched, built after the login and handed to
// the main window, which only shows and drives them.
// Members are declared in the order they depend on each other, so they are
// made in that order and go in the reverse one.
class RechargeSession : public QObject
{
    Q_OBJECT
public:
    RechargeSession(const PlatformEndpoint &endpoint, const OrderDatabase &database,
                    NetworkAccess &network, Prompter &prompter, Clipboard &clipboard,
                    QObject *parent = nullptr);
    ~RechargeSession() override;

    const PlatformEndpoint &endpoint() const { return m_endpoint; }
    OrderLedger &ledger() { return m_ledger; }
    OrderStore &store() { return m_ledger.store(); }
    OrderBook &book() { return m_ledger.book(); }
    CatalogueController &catalogue() { return m_catalogue; }
    OrderIntake &intake() { return m_intake; }
    SubmissionController &submission() { return m_submission; }
    StatusTracker &tracker() { return m_tracker; }
    // List2: the shop orders no product matched that wait for the agent.
    UnmatchedList &unmatchedList() { return m_unmatchedList; }

    // What the main window's load starts once the catalogue has been asked
    // for: the trade counter from 0, today's orders from the store, the shop
    // orders left unsent sent, and the status polls. A store that cannot be
    // opened is said (storeUnavailable) at once; the session never falls
    // back to another one.
    virtual void start();
    // Today's orders of every seat of the account, oldest first so that the
    // newest ends on top; at start-up also, below them, every order of
    // earlier days never sent or sent without an answer. At start-up an order
    // this seat sent before it ended, with no answer recorded, says its
    // outcome is unknown: the platform may have recharged it; a counter order
    // this seat left unsent is marked not submitted rather than sent unasked.
    // Later (刷新) an order the list shows on its way keeps its row. The
    // unmatched orders that still wait are listed again as well.
    void 读取订单();

signals:
    // For the agent: the store cannot be used, why (a server names host and
    // port); no order is taken until it can be.
    void storeUnavailable(const QString &text);
    // A line for the pending-feedback queue (待反馈编码 mode 1).
    void feedbackQueued(const QString &line);
    // After each status reply: time for the delivery step.
    void deliveryDue();

private:
    PlatformEndpoint m_endpoint;
    OrderLedger m_ledger;
    CatalogueController m_catalogue;
    OrderIntake m_intake;
    SubmissionController m_submission;
    StatusTracker m_tracker;
    UnmatchedList m_unmatchedList;
    bool m_started = false;
};
