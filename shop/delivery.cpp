#include "shop/delivery.h"

#include "app/core/textfile.h"
#include "app/web/transfer.h"
#include "shop/harvesters.h"
#include "shop/shoppages.h"

#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// Halves to the even number, as the usual conversion to a whole number does.
int wholeQuantity(double quantity)
{
    return int(std::nearbyint(quantity));
}

} // namespace

FeedbackQueue::FeedbackQueue(QString path, QObject *parent)
    : QObject(parent), m_path(std::move(path))
{
    setObjectName(QStringLiteral("feedbackQueue"));
}

void FeedbackQueue::待反馈编码(int mode, const QString &line)
{
    switch (mode) {
    case 0:
        if (QFile::exists(m_path)) {
            if (const auto lines = readGbkLines(m_path)) {
                m_lines += *lines;
                emit changed(m_lines);
            }
        }
        return;
    case 1: {
        // One entry is one line of the file: a buyer's text holding a line
        // break must not make two entries of it after a restart.
        QString entry = line;
        entry.replace(QLatin1Char('\r'), QLatin1Char(' '));
        entry.replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_lines.append(entry);
        emit changed(m_lines);
    }
        [[fallthrough]];
    case 2: {
        // In queue order, so that a restart keeps the order of the lines.
        QString error;
        if (!writeGbkLines(m_path, m_lines, FileAccess::Shared, &error))
            emit saveFailed(error);
        return;
    }
    default:
        return;
    }
}

namespace {

// Field two of "补反馈<o>ship number<o>1<o>code<o>buyer".
QString lineKey(const QString &line)
{
    return line.section(QStringLiteral("<o>"), 1, 1);
}

} // namespace

void FeedbackQueue::remove(const QString &orderKey)
{
    retain([&orderKey](const QString &key) { return key != orderKey; });
}

void FeedbackQueue::retain(const std::function<bool(const QString &orderKey)> &pending)
{
    const qsizetype before = m_lines.size();
    m_lines.removeIf([&pending](const QString &line) { return !pending(lineKey(line)); });
    if (m_lines.size() == before)
        return;
    emit changed(m_lines);
    待反馈编码(2);
}

DeliveryController::DeliveryController(OrderLedger &ledger, NetworkAccess &network,
                                       const ShopSites &sites, const TaobaoHarvester &taobao,
                                       const PaipaiHarvester &paipai, CardHandOver &handOver,
                                       QObject *parent)
    : QObject(parent), m_ledger(ledger), m_sites(sites), m_taobao(taobao), m_paipai(paipai),
      m_handOver(handOver), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("delivery"));
    m_timer->setObjectName(QStringLiteral("Timer淘宝拍拍发货"));
    m_timer->setInterval(kIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &DeliveryController::淘宝拍拍发货);
    for (int i = 0; i < kChannels; ++i) {
        auto *inet = new Transfer(network, this);
        inet->setObjectName(QStringLiteral("Inet发货") + QString::number(i));
        // Qt would send a consign again by itself after a dropped connection:
        // a repeat, which the shop refuses.
        inet->setAtMostOnce(true);
        connect(inet, &Transfer::stateChanged, this, [this, i](int state) { onAnswer(i, state); });
        m_inet.append(inet);
    }
    connect(&taobao, &TaobaoHarvester::waitingListRead, this, &DeliveryController::settleUnknown);
    connect(&paipai, &PaipaiHarvester::waitingListRead, this, &DeliveryController::settleUnknown);
}

Transfer *DeliveryController::inet发货(int channel) const
{
    return channel >= 0 && channel < m_inet.size() ? m_inet.at(channel) : nullptr;
}

void DeliveryController::start()
{
    m_timer->start();
    if (const auto orders = m_ledger.store().rechargedShopOrders()) {
        for (const RechargeOrder &order : *orders)
            noteUnknown(order);
    }
}

quint64 DeliveryController::listsAsked(int shop) const
{
    return shop == 1 ? m_taobao.listsAsked() : m_paipai.listsAsked();
}

void DeliveryController::noteUnknown(const RechargeOrder &order)
{
    if (order.consignUnknown && !m_unknown.contains(order.shipNo))
        m_unknown.insert(order.shipNo, listsAsked(order.orderType));
}

QString DeliveryController::订单状态(int status)
{
    return status == 1 ? QStringLiteral("已发") : QString();
}

int DeliveryController::获取空闲发货inet(int first) const
{
    for (int i = qMax(first, 0); i < kChannels; ++i) {
        if (!m_inet.at(i)->stillExecuting())
            return i;
    }
    return -1;
}

void DeliveryController::淘宝拍拍发货()
{
    shipNext(true);
}

bool DeliveryController::isOut(const QString &shipNo) const
{
    return std::any_of(m_out.cbegin(), m_out.cend(),
                       [&shipNo](const OutConsign &out) { return out.shipNo == shipNo; });
}

void DeliveryController::shipNext(bool withFailing)
{
    if (获取空闲发货inet(0) < 0)
        return;
    const auto orders = m_ledger.store().rechargedShopOrders();
    if (!orders)
        return;
    // In the store's order the orders that have not failed; failing ones
    // after them, by the age of their last failure, so that an order the shop
    // keeps refusing never holds up the others.
    QList<const RechargeOrder *> fresh;
    QList<std::pair<QDateTime, const RechargeOrder *>> failing;
    for (const RechargeOrder &order : *orders) {
        if (isOut(order.shipNo))
            continue;
        if (order.orderType != 1 && order.orderType != 2)
            continue;
        // Its consign may have been taken: the shop's list tells.
        if (order.consignUnknown) {
            noteUnknown(order);
            continue;
        }
        // Without the page's token the site would refuse it: it waits for
        // the first order list of the run.
        if (order.orderType == 1 && m_taobao.tbToken().isEmpty())
            continue;
        const auto failed = m_lastFailure.constFind(order.shipNo);
        if (failed == m_lastFailure.cend())
            fresh.append(&order);
        else if (withFailing)
            failing.append({*failed, &order});
    }
    std::stable_sort(failing.begin(), failing.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &f : failing)
        fresh.append(f.second);
    // Every free channel takes one, so shipping keeps pace with the recharges.
    int channel = 获取空闲发货inet(0);
    for (const RechargeOrder *order : fresh) {
        if (channel < 0)
            return;
        if (发货(*order, channel))
            channel = 获取空闲发货inet(channel + 1);
    }
}

bool DeliveryController::发货(const RechargeOrder &order, int channel)
{
    Transfer *inet = inet发货(channel);
    if (!inet || inet->stillExecuting() || order.shipNo.isEmpty())
        return false;
    const bool taobao = order.orderType == 1;
    if (!taobao && order.orderType != 2)
        return false;

    // Of several seats that see the order, the one whose claim holds ships it.
    if (m_ledger.claimForShipping(order.shipNo) != Claim::Claimed)
        return false;

    bool started = false;
    if (taobao) {
        started = inet->execute(
            taobaoConsignUrl(m_sites.taobaoLogistics, order.shipNo, m_taobao.tbToken()),
            QStringLiteral("GET"), QString(), kFormContentTypeHeader);
    } else {
        started = inet->execute(paipaiConsignUrl(m_sites.paipaiLogistics), QStringLiteral("POST"),
                                paipaiConsignBody(order.shipNo, order.cardCode, order.buyerNick),
                                QStringLiteral("Referer: ") +
                                    paipaiConsignReferer(m_sites.paipaiLogistics, order.shipNo) +
                                    QStringLiteral("\r\n") + kFormContentTypeHeader);
    }
    if (!started) {
        failed(order.shipNo, QStringLiteral("请求没有发出"), order.consignDoubted);
        return false;
    }
    m_out.insert(channel, OutConsign{order.shipNo, taobao, order});
    return true;
}

void DeliveryController::onAnswer(int channel, int state)
{
    if (state != Transfer::ResponseCompleted && state != Transfer::Error)
        return;
    Transfer *inet = m_inet.at(channel);
    const OutConsign out = m_out.take(channel);
    const QString shipNo = out.shipNo;
    const bool taobao = out.taobao;

    const int shop = taobao ? 1 : 2;
    if (state == Transfer::Error) {
        // Refused before it reached the shop, or by the shop's server in so
        // many words: not taken. Anything else may have been taken.
        const Transfer::Failure failure = inet->failure();
        if (failure == Transfer::Failure::NotDelivered ||
            (failure == Transfer::Failure::HttpError && inet->httpStatus() < 500)) {
            failed(shipNo, inet->errorText(), out.order.consignDoubted);
        } else {
            unknown(shipNo, shop, inet->errorText());
        }
        return;
    }
    const QString answer = inet->readChunks(1024);
    const ConsignAnswer read =
        taobao ? readTaobaoConsignAnswer(answer) : readPaipaiConsignAnswer(answer);
    if (read.outcome == ConsignOutcome::Unknown) {
        unknown(shipNo, shop, read.reason);
        return;
    }
    if (read.outcome != ConsignOutcome::Shipped) {
        // A shop that took the earlier consign late refuses this one as a
        // repeat: the first refusal after a doubt is left to the list too.
        if (out.order.consignDoubted)
            unknown(shipNo, shop, read.reason, true);
        else
            failed(shipNo, read.reason);
        return;
    }
    const StepResult recorded = recordShippedAtShop(out.order, shipNo, taobao);
    if (recorded.outcome == StepResult::NotSaved) {
        // The ledger told the agent; the shop's next list settles it.
        m_unknown.insert(shipNo, listsAsked(shop));
        return;
    }
    m_lastFailure.remove(shipNo);
    emit shipped(shipNo);
    // The channel is free and the shop takes marks: the next orders need not
    // wait for the tick. Orders the shop refused wait for it, so a refusal is
    // not asked again at once.
    shipNext(false);
}

StepResult DeliveryController::recordShippedAtShop(const RechargeOrder &order,
                                                   const QString &shipNo, bool taobao)
{
    // Only now, with the shop's word (its answer, or its list) that the order
    // shipped, does its code go to the buyer: a refused mark (a refund in
    // progress) sends nothing.
    const bool code = !order.cardCode.isEmpty();
    const bool throughMessenger = taobao && code && m_handOver.takesCodes();
    // A Taobao code is kept in the store either way: with the messenger off
    // it stands as not sent, so that the desk shows it until the agent acts.
    std::optional<HandOver> handOver;
    if (taobao && code)
        handOver = HandOver{
            .orderNo = order.orderNo,
            .shipNo = shipNo,
            .buyer = order.buyerNick,
            .cardCode = order.cardCode,
            .state = throughMessenger ? HandOverState::Waiting : HandOverState::Failed,
            .reason = throughMessenger ? QString() : QStringLiteral("旺旺发卡密没有开，没有发送"),
            .time = m_ledger.clock().now()};
    const StepResult recorded = m_ledger.recordShipped(shipNo, handOver);
    if (recorded.done() && code) {
        emit cardSent({order.platformProduct, order.cardCode, wholeQuantity(order.quantity),
                       order.buyerNick, taobao ? QStringLiteral("淘宝") : QStringLiteral("拍拍"),
                       !taobao            ? SentCard::Sent
                       : throughMessenger ? SentCard::Waiting
                                          : SentCard::NotSent,
                       m_ledger.clock().now(), shipNo});
        if (throughMessenger)
            m_handOver.handOver(*handOver);
    }
    return recorded;
}

void DeliveryController::failed(const QString &shipNo, const QString &reason, bool stillDoubted)
{
    m_ledger.recordShippingRefused(shipNo, reason, stillDoubted);
    m_lastFailure.insert(shipNo, m_ledger.clock().now());
    emit deliveryNote(QStringLiteral("订单 %1 没能标记发货（%2），稍后再试").arg(shipNo, reason));
    emit shipFailed(shipNo, reason);
}

void DeliveryController::unknown(const QString &shipNo, int shop, const QString &reason,
                                 bool refusedAfterDoubt)
{
    m_ledger.recordShippingUnknown(shipNo, reason, refusedAfterDoubt);
    m_unknown.insert(shipNo, listsAsked(shop));
    emit deliveryNote(
        QStringLiteral("订单 %1 的发货结果未知（%2），以店铺的待发货订单为准").arg(shipNo, reason));
}

void DeliveryController::settleUnknown(const WaitingList &list)
{
    const auto orders = m_ledger.store().rechargedShopOrders();
    if (!orders)
        return; // the next list settles them
    for (const RechargeOrder &order : *orders) {
        if (!order.consignUnknown || order.orderType != list.shop)
            continue;
        const auto since = m_unknown.constFind(order.shipNo);
        if (since == m_unknown.cend()) {
            noteUnknown(order);
            continue;
        }
        if (list.asked <= *since)
            continue;
        if (list.shipNos.contains(order.shipNo)) {
            // Still waiting for shipment: no consign of it was taken.
            if (m_ledger.recordStillListed(order.shipNo).outcome != StepResult::NotSaved)
                m_unknown.remove(order.shipNo);
            continue;
        }
        const StepResult recorded = recordShippedAtShop(order, order.shipNo, order.orderType == 1);
        if (recorded.outcome == StepResult::NotSaved)
            continue;
        m_unknown.remove(order.shipNo);
        m_lastFailure.remove(order.shipNo);
        if (recorded.done())
            emit shipped(order.shipNo);
    }
}
