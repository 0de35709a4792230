#include "app/ui/desk.h"

#include "app/core/prompter.h"
#include "app/ui/tray.h"
#include "orders/deskwindows.h"
#include "orders/storeindexprogress.h"
#include "recharge/submission.h"
#include "shop/agentsession.h"
#include "shop/delivery.h"
#include "shop/messenger.h"

#include <QCoreApplication>
#include <QDir>
#include <QSoundEffect>
#include <QUrl>
#include <QtDebug>

TrayAlertSink::TrayAlertSink(TrayController &tray, std::function<void(const QString &)> statusLine)
    : m_tray(tray), m_statusLine(std::move(statusLine))
{}

TrayAlertSink::~TrayAlertSink()
{
    delete m_effect.data();
}

void TrayAlertSink::notice(const QString &title, const QString &text)
{
    if (m_tray.iconShown())
        m_tray.icon()->showMessage(title, text, QSystemTrayIcon::Warning);
    if (m_statusLine)
        m_statusLine(text);
}

void TrayAlertSink::sound()
{
    if (!m_effect) {
        // Owned by the application: the audio back-end must not be touched
        // after it is gone.
        m_effect = new QSoundEffect(QCoreApplication::instance());
        m_effect->setSource(QUrl(QStringLiteral("qrc:/sounds/alert.wav")));
    }
    // Without an audio device the effect plays nothing, silently.
    m_effect->play();
}

Desk::Desk(AgentSession &session, AlertSink &sink, const QString &title,
           const QString &operatorName, const QString &settingsDir, QObject *parent)
    : QObject(parent), m_session(session), m_title(title),
      m_settingsPath(QDir(settingsDir).filePath(kAlertSettingsFile)),
      m_history(session.store().database(), session.store().userId()),
      m_log(session.store().database(), session.store().userId()),
      m_unresolved(m_history, m_log, &session.book(), &session.ledger().unmatched()),
      m_decisions(session.ledger(), m_log, Prompter::instance(), title, operatorName,
                  [&session](const QString &product, const QString &amount) {
                      // Chosen from the list, as at the counter.
                      return session.catalogue().判断业务名称(product, amount, OrderSource::Manual);
                  }),
      m_alerts(sink, title)
{
    m_unresolved.setInFlight(
        [this](const QString &orderNo) { return m_session.submission().isOut(orderNo); });
    m_unresolved.setHandOvers([this]() -> std::optional<QList<HandOver>> {
        OrderStore &store = m_session.store();
        auto failed = store.handOvers(HandOverState::Failed, false);
        auto waiting = store.handOvers(HandOverState::Waiting, false);
        if (!failed || !waiting)
            return std::nullopt;
        return *failed + *waiting;
    });
    connect(&m_decisions, &OrderDecisions::handOverResent, this,
            [this](const HandOver &handOver) { m_session.messenger().handOver(handOver); });
    connect(&m_decisions, &OrderDecisions::handedByHand, this,
            [this](const HandOver &handOver) { m_session.feedback().remove(handOver.shipNo); });
    m_alerts.setBalanceThreshold(readBalanceThreshold(m_settingsPath));
    m_alerts.watch(&session.book());
    m_alerts.watchUnmatched(&session.ledger());
    connect(&session.ledger(), &OrderLedger::unmatchedFound, this, [this] {
        if (!m_unresolved.refresh())
            qWarning().noquote() << "unresolved orders:" << m_unresolved.lastError();
    });

    DeliveryController *delivery = &session.delivery();
    connect(delivery, &DeliveryController::shipFailed, this,
            [this](const QString &shipNo, const QString &reason) {
                m_alerts.cannotShip(shipNo, reason);
                m_unresolved.consignFailed(shipNo, reason);
            });
    connect(delivery, &DeliveryController::shipped, this,
            [this](const QString &shipNo) { m_unresolved.shipped(shipNo); });
    MessengerHandOver *messenger = &session.messenger();
    connect(messenger, &MessengerHandOver::handOverFailed, this,
            [this](const QString &buyer, const QString &cardCode, const QString &reason) {
                m_alerts.cannotShip(buyer + QStringLiteral("/") + cardCode,
                                    QStringLiteral("卡密没有发给买家 %1：%2").arg(buyer, reason));
                m_unresolved.handOverFailed(buyer, cardCode, reason);
            });
    // The row follows the store: the hand-over's end is recorded first.
    connect(messenger, &MessengerHandOver::handedOver, this,
            [this](const QString &buyer, const QString &cardCode) {
                m_unresolved.handedOver(buyer, cardCode);
            });
    connect(&session.submission(), &SubmissionController::balanceTextChanged, this,
            [this](const QString &text) { m_alerts.balanceText(text); });
    // Sent again only by the agent's explicit 重新提交.
    connect(
        &m_decisions, &OrderDecisions::resubmitted, this,
        [this](const QString &, int orderType) { m_session.submission().充值订单请求(orderType); });
}

Desk::~Desk() = default;

QWidget *Desk::createHistoryWindow()
{
    auto *window = new OrderHistoryWindow(m_history, m_title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &OrderHistoryWindow::reprintRequested, this, &Desk::reprintRequested);
    whenIndexed(window, [window] { window->runSearch(); });
    return window;
}

QWidget *Desk::createUnresolvedWindow()
{
    auto *window = new UnresolvedWindow(m_unresolved, m_decisions, m_title, [this] {
        return m_session.catalogue().catalogue().productChoices();
    });
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &UnresolvedWindow::salesRecordsRequested, this, &Desk::salesRecordsRequested);
    whenIndexed(window, [this] {
        if (!m_unresolved.refresh())
            Prompter::instance().inform(m_title, m_unresolved.lastError());
    });
    return window;
}

void Desk::whenIndexed(QWidget *window, const std::function<void()> &then)
{
    if (m_history.isOpen()) {
        then();
        return;
    }
    // The start-up build has normally made the indexes and this finds them
    // in a few milliseconds. A store it could not index is indexed here,
    // behind a dialog over the window, one index per statement: a write of
    // the engine meanwhile waits for one index, within its busy timeout.
    buildStoreIndexes(m_history.database(), window, m_title, true, window,
                      [this, then](const IndexBuild &build) {
                          if (!build.ok()) {
                              Prompter::instance().inform(m_title, indexBuildFailureText(build));
                              return;
                          }
                          then();
                      });
}

void Desk::editAlertSettings()
{
    const auto current = m_alerts.balanceThreshold();
    const auto answer =
        Prompter::instance().input(m_title, QStringLiteral("余额低于多少元时提醒？（0 为不提醒）"),
                                   current ? QString::number(*current) : QStringLiteral("0"));
    if (!answer)
        return;
    bool ok = false;
    const double value = answer->trimmed().toDouble(&ok);
    if (!ok || value < 0) {
        Prompter::instance().inform(m_title, QStringLiteral("请输入一个不小于 0 的金额"));
        return;
    }
    const std::optional<double> threshold = value > 0 ? std::optional<double>(value) : std::nullopt;
    QString error;
    if (!writeBalanceThreshold(m_settingsPath, threshold, &error)) {
        Prompter::instance().inform(m_title, QStringLiteral("提醒设置没有保存：") + error);
        return;
    }
    m_alerts.setBalanceThreshold(threshold);
}
