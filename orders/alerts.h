#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

class OrderBook;
class OrderLedger;
struct UnmatchedOrder;

// Where alerts go: the tray notice and the sound. Tests record them.
class AlertSink
{
public:
    virtual ~AlertSink() = default;
    virtual void notice(const QString &title, const QString &text) = 0;
    virtual void sound() = 0;
};

// The agent's alert settings, in the file "提醒设置" beside "打印设置" (GBK,
// CR LF), one line: the balance below which to alert, in yuan; an empty
// file, a missing one or 0 means no balance alert.
inline const QString kAlertSettingsFile = QStringLiteral("提醒设置");
std::optional<double> readBalanceThreshold(const QString &path);
bool writeBalanceThreshold(const QString &path, std::optional<double> threshold,
                           QString *error = nullptr);

// Alerts when an order fails, becomes of unknown outcome or cannot be shipped,
// when a paid shop order matches no catalogue product, and when the balance
// falls below the threshold. An order alerts once, for whichever comes first
// (an unknown order the agent then marks as not recharged says nothing more);
// a shop order that cannot be shipped alerts once for that, and one that
// matches no product once for that. The balance alerts once each time it
// falls below, again only after it has been back at or above the threshold.
class OrderAlerts : public QObject
{
    Q_OBJECT
public:
    OrderAlerts(AlertSink &sink, const QString &title, QObject *parent = nullptr);

    // Watches the status changes of the book's orders (not the orders it is
    // loaded with: those were seen before).
    void watch(const OrderBook *book);
    // Watches the shop orders the ledger keeps because no product matched
    // them (only those this seat finds first: not again after a restart).
    void watchUnmatched(const OrderLedger *ledger);

    void setBalanceThreshold(std::optional<double> threshold);
    std::optional<double> balanceThreshold() const { return m_threshold; }

    void orderFailed(const QString &orderNo, const QString &account, const QString &why);
    void orderUnknown(const QString &orderNo, const QString &account);
    void cannotShip(const QString &shipNo, const QString &why);
    void orderUnmatched(const UnmatchedOrder &order);
    // A balance text as the panel shows it ("12.5 元" or "12.5"); text that is
    // no figure is passed over.
    void balanceText(const QString &text);
    void balance(double value);

private:
    void rowChanged(const OrderBook *book, int row);
    bool once(const QString &key);
    void alert(const QString &text);

    AlertSink &m_sink;
    QString m_title;
    std::optional<double> m_threshold;
    bool m_balanceLow = false;
    QSet<QString> m_alerted;
};
