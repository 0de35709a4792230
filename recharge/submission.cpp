#include "recharge/submission.h"

#include "app/core/clipboard.h"
#include "app/core/gbk.h"
#include "app/core/platform.h"
#include "app/core/platformtexts.h"
#include "app/core/prompter.h"
#include "app/web/transfer.h"
#include "orders/rechargeorder.h"

#include <QDeadlineTimer>
#include <QTimer>

namespace {

const QString kCardStart = QStringLiteral("--top--");
const QString kCardEnd = QStringLiteral("--end--");
const QString kUnitYuan = QStringLiteral(" 元");
const QString kCardCopied = QStringLiteral("您的卡密已经复制到您的剪切盘 ");
const QString kNotDeliveredMessage = QStringLiteral("订单没有送到平台，没有充值。");
const QString kNotSentMessage = QStringLiteral("订单的状态无法保存，订单没有提交，没有充值。");
const QString kUnknownMessage =
    QStringLiteral("订单已经发出，但没有收到平台可以读懂的应答，不知道是否已经充值。"
                   "请在销售记录中核实，客户端不会再次提交这个订单。");

QString withReason(const QString &text, const QString &reason)
{
    return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
}

} // namespace

QString rechargeRequestBody(const RechargeRequestFields &f, const QString &sessionKey, int kind)
{
    const QList<std::pair<const char *, QString>> pairs = {
        {"game_cp", QString()},       {"game_list", f.platformProduct},
        {"game_area", f.serverArea},  {"game_userid", f.rechargeAccount},
        {"sessionkey", sessionKey},   {"Cardnum", f.quantity},
        {"counts", f.actualQuantity}, {"lx", QString::number(kind)},
        {"cx", f.queryArea},          {"key", f.orderNo},
    };
    QString body;
    for (const auto &[key, value] : pairs) {
        if (!body.isEmpty())
            body += QLatin1Char('&');
        body += QLatin1String(key) + QLatin1Char('=') + escapeValue(value);
    }
    return body;
}

RechargeAnswer readRechargeAnswer(const QString &response)
{
    RechargeAnswer answer;
    const qsizetype titleAt = response.indexOf(QLatin1String("<title>"));
    if (titleAt < 0 || response.indexOf(QLatin1String("</title>"), titleAt) < 0) {
        answer.reason = QStringLiteral("平台的应答无法读取");
        return answer;
    }

    CutText text(response);
    answer.title = ExtractBetween(QStringLiteral("<title>"), QStringLiteral("</title>"), text);
    const QString body = ExtractBetween(QStringLiteral("<body>"), QStringLiteral("</body>"), text);
    if (answer.title.contains(kKeyAlreadyTaken)) {
        // The platform has this order from an earlier request: it may well
        // have recharged it, so it is neither refused nor refunded.
        answer.reason = answer.title;
        return answer;
    }
    if (!answer.title.contains(kRechargeAccepted)) {
        answer.kind = RechargeAnswer::Refused;
        answer.status = OrderStatus::Refunded;
        return answer;
    }

    const QStringList fields = body.split(QLatin1Char('|'));
    if (fields.size() < 3) {
        answer.reason = QStringLiteral("平台的应答无法读取");
        return answer;
    }
    answer.balance = fields.at(0).trimmed();
    answer.rechargeId = fields.at(2).trimmed();
    if (answer.title.contains(kCardStart)) {
        QString title = answer.title;
        QString code = ExtractBetween(kCardStart, kCardEnd, title);
        code.replace(QLatin1Char('-'), QLatin1Char(' '));
        code.remove(QLatin1Char(' '));
        answer.cardCode = code;
    }
    // A card marker without a code to read is followed like any accepted
    // order: the status poll brings the code, and nobody is handed an empty one.
    answer.status = answer.cardCode.isEmpty() ? OrderStatus::Accepted : OrderStatus::Recharged;
    if (answer.status == OrderStatus::Accepted && answer.rechargeId.isEmpty()) {
        // Still working, and no id to ask about it with.
        answer.status = OrderStatus::Submitting;
        answer.reason = QStringLiteral("平台接受了订单，但没有给出充值编号");
        return answer;
    }
    answer.kind = RechargeAnswer::Accepted;
    return answer;
}

QString tradeCountText(int count)
{
    return QStringLiteral("当前交易：  ") + QString::number(count) + QStringLiteral(" 笔");
}

SubmissionController::SubmissionController(OrderLedger &ledger, NetworkAccess &network,
                                           const PlatformEndpoint &endpoint, Prompter &prompter,
                                           Clipboard &clipboard, QObject *parent)
    : QObject(parent), m_ledger(ledger), m_network(network), m_endpoint(endpoint),
      m_prompter(prompter), m_clipboard(clipboard)
{
    setObjectName(QStringLiteral("submission"));
    for (int i = 0; i <= kManualComponent; ++i) {
        auto *inet = new Transfer(m_network, this);
        inet->setObjectName(QStringLiteral("Inet充值") + QString::number(i));
        inet->setAtMostOnce(true);
        connect(inet, &Transfer::stateChanged, this,
                [this, i](int state) { onStateChanged(i, state); });
        m_inet.append(inet);
    }
}

Transfer *SubmissionController::inet充值(int index) const
{
    return index >= 0 && index < m_inet.size() ? m_inet.at(index) : nullptr;
}

int SubmissionController::outstanding() const
{
    int count = 0;
    for (const Transfer *inet : m_inet)
        count += inet->stillExecuting() ? 1 : 0;
    return count;
}

bool SubmissionController::isOut(const QString &orderNo) const
{
    for (int i = 0; i < m_inet.size(); ++i) {
        const std::optional<RechargeRequest> out = requestOn(i);
        if (out && out->orderNo == orderNo)
            return true;
    }
    return false;
}

bool SubmissionController::manualBusy() const
{
    return m_inet.at(kManualComponent)->stillExecuting();
}

std::optional<RechargeRequest> SubmissionController::requestOn(int component) const
{
    const Transfer *inet = inet充值(component);
    if (!inet || !inet->stillExecuting())
        return std::nullopt;
    return m_out.value(component);
}

void SubmissionController::inform(const QString &text)
{
    m_prompter.inform(m_endpoint.appTitle, text);
}

int SubmissionController::获取空闲充值inet() const
{
    for (int i = 0; i < kPoolSize; ++i) {
        if (!m_inet.at(i)->stillExecuting())
            return i;
    }
    return -1;
}

void SubmissionController::充值订单请求(int kind)
{
    if (kind < 0 || kind > 2)
        return;
    // The newest waiting order goes first, as the list shows it on top.
    for (const QString &orderNo : m_ledger.book().waiting(kind)) {
        if (const auto held = m_heldUntil.constFind(orderNo); held != m_heldUntil.cend()) {
            if (!held->hasExpired())
                continue;
            m_heldUntil.erase(held);
        }
        const int component = kind == 0 ? kManualComponent : 获取空闲充值inet();
        if (component < 0 || m_inet.at(component)->stillExecuting())
            return; // the rest keep waiting for a later call
        const std::optional<OrderEntry> entry = m_ledger.book().entry(orderNo);
        if (!entry)
            continue;
        const RechargeOrder &o = entry->order;
        RechargeRequestFields fields;
        fields.platformProduct = o.platformProduct;
        fields.quantity = orderNumberText(o.quantity);
        fields.rechargeAccount = o.rechargeAccount;
        fields.serverArea = o.serverArea;
        fields.orderNo = o.orderNo;
        fields.actualQuantity = o.actualQuantity;
        fields.queryArea = o.queryArea;

        // The store says -1 before the request can go out: a request must
        // never be out while the store still says -2, or after a restart the
        // order would be sent a second time. The move from -2 is conditional,
        // so of several seats that list the order only one sends it.
        const Claim claimed = m_ledger.claimForSubmission(fields.orderNo);
        if (claimed == Claim::TakenElsewhere)
            continue; // another seat sent it, or it moved on: the row shows which
        if (claimed == Claim::Failed) {
            // Nothing went out. A shop order keeps waiting for a later scan;
            // the agent at the counter is told at once.
            if (kind == 0)
                markNotSent(fields.orderNo, m_ledger.store().lastError());
            return;
        }
        if (!发送充值订单(fields, component, kind)) {
            m_ledger.releaseUnsent(fields.orderNo);
            return;
        }
        if (kind == 0) {
            emit manualBusyChanged(true);
            return; // manual orders go one at a time
        }
    }
}

void SubmissionController::markNotSent(const QString &orderNo, const QString &reason)
{
    m_ledger.markNotSubmitted(orderNo, OrderStatus::Waiting,
                              kNotDeliveredPrefix + QStringLiteral("订单状态无法保存"));
    inform(withReason(kNotSentMessage, reason));
    emit czMayBeEnabled();
}

bool SubmissionController::发送充值订单(const RechargeRequestFields &fields, int component,
                                        int kind)
{
    Transfer *inet = inet充值(component);
    if (!inet || inet->stillExecuting())
        return false;
    const QString body = rechargeRequestBody(fields, m_endpoint.sessionKey, kind);
    if (!inet->execute(m_endpoint.page(kRechargePage), kRechargeOperation, body,
                       kFormContentTypeHeader))
        return false;
    m_out.insert(component, RechargeRequest{fields.orderNo, kind});
    return true;
}

void SubmissionController::onStateChanged(int index, int state)
{
    Transfer *inet = m_inet.at(index);
    if (state != Transfer::ResponseCompleted && state != Transfer::Error)
        return;
    const RechargeRequest request = m_out.take(index);
    if (state == Transfer::ResponseCompleted)
        判断充值结果(inet->readChunks(1024), request);
    else
        onFailure(index, request);
    // A component is free again: orders that found none are sent now rather
    // than at the next harvest or click that happens to come.
    if (index < kPoolSize) {
        充值订单请求(1);
        充值订单请求(2);
    } else {
        充值订单请求(0);
        if (!manualBusy())
            emit manualBusyChanged(false);
    }
    if (outstanding() == 0)
        emit allAnswered();
}

void SubmissionController::onFailure(int index, const RechargeRequest &request)
{
    Transfer *inet = m_inet.at(index);
    if (inet->failure() == Transfer::Failure::NotDelivered)
        markNotDelivered(request, inet->errorText());
    else
        // Timed out, cut off or an HTTP error: the platform may have seen the
        // order and recharged it.
        markUnknown(request, inet->errorText());
}

void SubmissionController::markNotDelivered(const RechargeRequest &request, const QString &reason)
{
    // Nothing of the request reached the network: a shop order waits for the
    // next scan once more, rather than becoming a desk item over a hiccup.
    if (!request.manual() && !m_sentAgain.contains(request.orderNo) &&
        m_ledger.releaseUnsent(request.orderNo).done()) {
        m_sentAgain.insert(request.orderNo);
        m_heldUntil.insert(request.orderNo, QDeadlineTimer(kResendAfterMs, Qt::PreciseTimer));
        const int kind = request.kind;
        // Precise: a coarse timer may end a little early, before the hold.
        QTimer::singleShot(kResendAfterMs, Qt::PreciseTimer, this,
                           [this, kind] { 充值订单请求(kind); });
        return;
    }
    m_ledger.markNotSubmitted(request.orderNo, OrderStatus::Submitting,
                              kNotDeliveredPrefix + reason);
    if (request.manual()) {
        inform(withReason(kNotDeliveredMessage, reason));
        emit czMayBeEnabled();
    }
}

void SubmissionController::markUnknown(const RechargeRequest &request, const QString &reason)
{
    // The store keeps -1, which no scan sends.
    m_ledger.markUnknown(request.orderNo);
    if (request.manual()) {
        inform(withReason(kUnknownMessage, reason));
        emit czMayBeEnabled();
    }
}

void SubmissionController::判断充值结果(const QString &response, const RechargeRequest &request)
{
    const bool manual = request.manual();
    const RechargeAnswer answer = readRechargeAnswer(response);

    // The store and the list hold the outcome before the agent is told: a
    // client that ends while a message is open keeps the recharge id and the
    // card code.
    switch (answer.kind) {
    case RechargeAnswer::Unreadable:
        markUnknown(request, answer.reason);
        return;
    case RechargeAnswer::Refused:
        l7反馈(answer.title, QString(), QString(), request, OrderStatus::Refunded);
        if (manual)
            inform(answer.title);
        break;
    case RechargeAnswer::Accepted:
        if (answer.balance != QLatin1String("-1"))
            emit balanceTextChanged(answer.balance + kUnitYuan);
        ++m_tradeCount;
        emit tradeCountChanged(m_tradeCount, tradeCountText(m_tradeCount));
        // Only the counter's: a shop buyer's code on the clipboard could be
        // pasted to the customer at the counter.
        if (manual && answer.status == OrderStatus::Recharged)
            m_clipboard.setText(answer.cardCode);
        l7反馈(状态转换(answer.status), answer.rechargeId, answer.cardCode, request, answer.status);
        if (manual) {
            inform(kRechargeAccepted);
            if (answer.status == OrderStatus::Recharged)
                inform(kCardCopied + answer.cardCode);
        }
        break;
    }
    if (manual)
        emit czMayBeEnabled();
}

void SubmissionController::l7反馈(const QString &text, const QString &rechargeId,
                                  const QString &cardCode, const RechargeRequest &request,
                                  OrderStatus status)
{
    // A refused order shows the platform's message in place of its status text.
    m_ledger.recordAnswer(request.orderNo, status, rechargeId, cardCode,
                          text == 状态转换(status) ? QString() : text);
    // The queue holds codes on their way to shop buyers; the counter's code
    // is handed over at the counter.
    if (status != OrderStatus::Recharged || !m_feedback || request.manual())
        return;
    if (const std::optional<OrderEntry> entry = m_ledger.book().entry(request.orderNo)) {
        m_feedback(QStringLiteral("补反馈<o>") + entry->order.shipNo + QStringLiteral("<o>1<o>") +
                   cardCode + QStringLiteral("<o>") + entry->order.buyerNick);
    }
}
