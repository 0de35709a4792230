#include "orders/alerts.h"

#include "app/core/textfile.h"
#include "orders/orderbook.h"
#include "orders/orderledger.h"

std::optional<double> readBalanceThreshold(const QString &path)
{
    const auto lines = readGbkLines(path);
    if (!lines || lines->isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = lines->first().trimmed().toDouble(&ok);
    if (!ok || value <= 0)
        return std::nullopt;
    return value;
}

bool writeBalanceThreshold(const QString &path, std::optional<double> threshold, QString *error)
{
    const QString line = threshold && *threshold > 0 ? QString::number(*threshold) : QString();
    return writeGbkLines(path, {line}, FileAccess::Shared, error);
}

OrderAlerts::OrderAlerts(AlertSink &sink, const QString &title, QObject *parent)
    : QObject(parent), m_sink(sink), m_title(title)
{}

void OrderAlerts::watch(const OrderBook *book)
{
    connect(book, &QAbstractItemModel::dataChanged, this,
            [this, book](const QModelIndex &from, const QModelIndex &to) {
                for (int row = from.row(); row <= to.row(); ++row)
                    rowChanged(book, row);
            });
}

void OrderAlerts::watchUnmatched(const OrderLedger *ledger)
{
    connect(ledger, &OrderLedger::unmatchedFound, this, &OrderAlerts::orderUnmatched);
}

void OrderAlerts::rowChanged(const OrderBook *book, int row)
{
    if (row < 0 || row >= book->rowCount())
        return;
    const OrderEntry &e = book->at(row);
    const RechargeOrder &o = e.order;
    if (o.status == OrderStatus::Refunded || o.status == OrderStatus::SubmitFailed)
        orderFailed(o.orderNo, o.rechargeAccount, e.statusText());
    else if (o.status == OrderStatus::Submitting && e.note.contains(QStringLiteral("结果未知")))
        orderUnknown(o.orderNo, o.rechargeAccount);
}

bool OrderAlerts::once(const QString &key)
{
    if (m_alerted.contains(key))
        return false;
    m_alerted.insert(key);
    return true;
}

void OrderAlerts::alert(const QString &text)
{
    m_sink.notice(m_title, text);
    m_sink.sound();
}

void OrderAlerts::orderFailed(const QString &orderNo, const QString &account, const QString &why)
{
    if (once(QStringLiteral("order:") + orderNo))
        alert(QStringLiteral("充值失败：号码 %1，订单 %2。%3").arg(account, orderNo, why));
}

void OrderAlerts::orderUnknown(const QString &orderNo, const QString &account)
{
    if (once(QStringLiteral("order:") + orderNo))
        alert(QStringLiteral("结果未知：号码 %1，订单 %2，请在销售记录中核实。")
                  .arg(account, orderNo));
}

void OrderAlerts::cannotShip(const QString &shipNo, const QString &why)
{
    if (once(QStringLiteral("ship:") + shipNo))
        alert(QStringLiteral("不能发货：订单 %1。%2").arg(shipNo, why));
}

void OrderAlerts::orderUnmatched(const UnmatchedOrder &o)
{
    if (once(QStringLiteral("unmatched:") + o.orderNo))
        alert(QStringLiteral("没有匹配的商品：订单 %1，号码 %2，“%3” ×%4。买家已付款，"
                             "请在待处理订单中处理。")
                  .arg(o.orderNo, o.rechargeAccount, o.productName, o.quantityText));
}

void OrderAlerts::setBalanceThreshold(std::optional<double> threshold)
{
    m_threshold = threshold;
    m_balanceLow = false;
}

void OrderAlerts::balanceText(const QString &text)
{
    QString figure = text;
    figure.remove(QStringLiteral("元"));
    bool ok = false;
    const double value = figure.trimmed().toDouble(&ok);
    if (ok)
        balance(value);
}

void OrderAlerts::balance(double value)
{
    if (!m_threshold)
        return;
    if (value >= *m_threshold) {
        m_balanceLow = false;
        return;
    }
    if (m_balanceLow)
        return;
    m_balanceLow = true;
    alert(QStringLiteral("余额 %1 元，已低于提醒金额 %2 元。")
              .arg(QString::number(value, 'f', 2), QString::number(*m_threshold, 'f', 2)));
}
