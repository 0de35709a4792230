#pragma once

#include "orders/alerts.h"
#include "orders/decisions.h"
#include "orders/orderhistory.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class AgentSession;
class QSoundEffect;
class QWidget;
class TrayController;

// Alerts as the agent meets them: a notice from the tray icon when it is
// shown (else in the status bar) and the alert tone.
class TrayAlertSink final : public AlertSink
{
public:
    TrayAlertSink(TrayController &tray, std::function<void(const QString &)> statusLine);
    ~TrayAlertSink() override;
    void notice(const QString &title, const QString &text) override;
    void sound() override;

private:
    TrayController &m_tray;
    std::function<void(const QString &)> m_statusLine;
    QPointer<QSoundEffect> m_effect;
};

// The agent's desk beside the main window: the order history, the orders
// that need the agent with the record of the decisions, and the alerts. It
// works on the session's store file and book and is wired to its delivery
// and hand-over.
class Desk : public QObject
{
    Q_OBJECT
public:
    // settingsDir: where "提醒设置" lies (the working directory, beside "打印设置").
    Desk(AgentSession &session, AlertSink &sink, const QString &title, const QString &operatorName,
         const QString &settingsDir, QObject *parent = nullptr);
    ~Desk() override;

    OrderHistory &history() { return m_history; }
    DecisionLog &decisionLog() { return m_log; }
    UnresolvedOrders &unresolved() { return m_unresolved; }
    OrderDecisions &decisions() { return m_decisions; }
    OrderAlerts &alerts() { return m_alerts; }

    QWidget *createHistoryWindow();
    QWidget *createUnresolvedWindow();
    // Asks for the balance threshold and keeps it in "提醒设置".
    void editAlertSettings();

signals:
    void salesRecordsRequested();
    void reprintRequested(const RechargeOrder &order);

private:
    // Runs then once the history's indexes are there.
    void whenIndexed(QWidget *window, const std::function<void()> &then);

    AgentSession &m_session;
    QString m_title;
    QString m_settingsPath;
    OrderHistory m_history;
    DecisionLog m_log;
    UnresolvedOrders m_unresolved;
    OrderDecisions m_decisions;
    OrderAlerts m_alerts;
};
