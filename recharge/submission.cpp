#include "recharge/submission.h"

#include "app/core/config.h"
#include "app/core/gbk.h"
#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/transfer.h"
#include "orders/orderlists.h"
#include "orders/orderstore.h"
#include "orders/rechargeorder.h"
#include "recharge/catalogue.h"
#include "widgets/keyedlistview.h"

#include <QApplication>
#include <QClipboard>

namespace {

const QString kSideSeparator = QStringLiteral("||");
const QString kCardStart = QStringLiteral("--top--");
const QString kCardEnd = QStringLiteral("--end--");
const QString kUnitYuan = QStringLiteral(" 元");
const QString kCardCopied = QStringLiteral("您的卡密已经复制到您的剪切盘 ");
const QString kNotDeliveredMessage = QStringLiteral("订单没有送到平台，没有充值。");
const QString kUnknownMessage =
    QStringLiteral("订单已经发出，但没有收到平台可以读懂的应答，不知道是否已经充值。"
                   "请在销售记录中核实，客户端不会再次提交这个订单。");

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

QString cell(const KeyedListView *list, const QTreeWidgetItem *row, const char *key)
{
    return list->text(row, QString::fromLatin1(key));
}

// The row's own source kind; a row without one is of its list's usual kind.
int rowKind(const QTreeWidgetItem *row, bool paipaiList)
{
    const QVariant type = row->data(0, kOrderTypeRole);
    if (type.isValid())
        return type.toInt();
    return paipaiList ? 2 : 0;
}

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

QString rechargeSideText(const QString &orderNo, int kind)
{
    return orderNo + kSideSeparator + QString::number(kind);
}

SideText splitSideText(const QString &sideText)
{
    const qsizetype at = sideText.lastIndexOf(kSideSeparator);
    if (at < 0)
        return {sideText, QString()};
    return {sideText.left(at), sideText.mid(at + kSideSeparator.size())};
}

RechargeAnswer readRechargeAnswer(const QString &response)
{
    RechargeAnswer answer;
    const qsizetype titleAt = response.indexOf(QLatin1String("<title>"));
    if (titleAt < 0 || response.indexOf(QLatin1String("</title>"), titleAt) < 0)
        return answer; // not the platform's page: nothing can be said about the order

    CutText text(response);
    answer.title = ExtractBetween(QStringLiteral("<title>"), QStringLiteral("</title>"), text);
    const QString body = ExtractBetween(QStringLiteral("<body>"), QStringLiteral("</body>"), text);
    if (!answer.title.contains(kRechargeAccepted)) {
        answer.kind = RechargeAnswer::Refused;
        answer.status = OrderStatus::Refunded;
        return answer;
    }

    const QStringList fields = body.split(QLatin1Char('|'));
    if (fields.size() < 3)
        return answer; // accepted, but without the recharge id it cannot be followed
    answer.kind = RechargeAnswer::Accepted;
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
    return answer;
}

QString tradeCountText(int count)
{
    return QStringLiteral("当前交易：  ") + QString::number(count) + QStringLiteral(" 笔");
}

SubmissionController::SubmissionController(KeyedListView *listView7, KeyedListView *listView8,
                                           OrderStore &store, QObject *parent)
    : QObject(parent), m_listView7(listView7), m_listView8(listView8), m_store(store)
{
    setObjectName(QStringLiteral("submission"));
    for (int i = 0; i <= kManualComponent; ++i) {
        auto *inet = new Transfer(this);
        inet->setObjectName(QStringLiteral("Inet充值") + QString::number(i));
        connect(inet, &Transfer::stateChanged, this,
                [this, i](int state) { onStateChanged(i, state); });
        m_inet.append(inet);
    }
}

Transfer *SubmissionController::inet充值(int index) const
{
    return index >= 0 && index < m_inet.size() ? m_inet.at(index) : nullptr;
}

KeyedListView *SubmissionController::listForKind(const QString &kind) const
{
    return kind == QLatin1String("2") ? m_listView8 : m_listView7;
}

QTreeWidgetItem *SubmissionController::rowOf(KeyedListView *list, const QString &orderNo) const
{
    if (orderNo.isEmpty())
        return nullptr;
    return list->findRow(QStringLiteral("t10"), orderNo);
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
    KeyedListView *list = kind == 2 ? m_listView8 : m_listView7;
    const QString waiting = 状态转换(OrderStatus::Waiting);
    // Rows are collected first: sending rewrites cells, never the row order.
    QList<QTreeWidgetItem *> rows;
    for (int i = 0; i < list->rowCount(); ++i) {
        QTreeWidgetItem *row = list->row(i);
        if (cell(list, row, "t7") == waiting && rowKind(row, kind == 2) == kind)
            rows.append(row);
    }
    for (QTreeWidgetItem *row : rows) {
        const int component = kind == 0 ? kManualComponent : 获取空闲充值inet();
        if (component < 0 || m_inet.at(component)->stillExecuting())
            return; // the rest keep waiting for a later call

        RechargeRequestFields fields;
        fields.platformProduct = cell(list, row, "t14");
        fields.quantity = cell(list, row, "t4");
        fields.rechargeAccount = row->text(0);
        fields.serverArea = cell(list, row, "t15");
        fields.orderNo = cell(list, row, "t12");
        fields.actualQuantity = cell(list, row, "t16");
        fields.queryArea = cell(list, row, "t17");
        if (fields.orderNo.isEmpty())
            continue;

        // The store says -1 before the request can go out: a request must
        // never be out while the store still says -2, or after a restart the
        // order would be sent a second time.
        if (!m_store
                 .反写数据库状态(fields.orderNo, QString::number(OrderStatus::Submitting),
                                 QString(), QString(), QString())
                 .ok())
            return; // nothing went out; the order keeps waiting
        if (!发送充值订单(fields, component, kind)) {
            if (!m_store
                     .反写数据库状态(fields.orderNo, QString::number(OrderStatus::Waiting),
                                     QString(), QString(), QString())
                     .ok()) {
                // Nothing went out, but the store says -1: leave it alone
                // rather than risk a second recharge after a restart.
                list->setText(row, QStringLiteral("t7"), kOutcomeUnknownText);
                list->setTextColor(row, QStringLiteral("t7"), kRed);
            }
            return;
        }
        list->setText(row, QStringLiteral("t7"), 状态转换(OrderStatus::Submitting));
        if (kind == 0)
            return; // manual orders go one at a time
    }
}

bool SubmissionController::发送充值订单(const RechargeRequestFields &fields, int component,
                                        int kind)
{
    Transfer *inet = inet充值(component);
    if (!inet || inet->stillExecuting())
        return false;
    const QString body = rechargeRequestBody(fields, SessionInfo().sessionKey, kind);
    inet->setTag(rechargeSideText(fields.orderNo, kind));
    return inet->execute(currentConfig().platformPage(kRechargePage), kRechargeOperation, body,
                         kFormContentTypeHeader);
}

void SubmissionController::onStateChanged(int index, int state)
{
    Transfer *inet = m_inet.at(index);
    const QString sideText = inet->tag();
    if (state == Transfer::ResponseCompleted) {
        QString response;
        for (QString chunk = inet->getChunk(1024); !chunk.isEmpty(); chunk = inet->getChunk(1024))
            response += chunk;
        判断充值结果(response, sideText);
    } else if (state == Transfer::Error) {
        onFailure(index);
    } else {
        return;
    }
    // A pool component is free again: shop orders that found none are sent now
    // rather than at the next harvest that happens to find a new order.
    if (index < kPoolSize) {
        充值订单请求(1);
        充值订单请求(2);
    }
}

void SubmissionController::onFailure(int index)
{
    Transfer *inet = m_inet.at(index);
    const QString sideText = inet->tag();
    if (inet->failure() == Transfer::Failure::NotDelivered)
        markNotDelivered(sideText, inet->errorText());
    else
        // Timed out, cut off or an HTTP error: the platform may have seen the
        // order and recharged it.
        markUnknown(sideText, inet->errorText());
}

void SubmissionController::markNotDelivered(const QString &sideText, const QString &reason)
{
    const SideText side = splitSideText(sideText);
    const bool stored =
        m_store
            .反写数据库状态(side.orderNo, QString::number(OrderStatus::SubmitFailed), QString(),
                            QString(), QString())
            .ok();
    KeyedListView *list = listForKind(side.kind);
    if (QTreeWidgetItem *row = rowOf(list, side.orderNo)) {
        QString text = kNotDeliveredPrefix + reason;
        if (!stored)
            text += kStatusNotSavedSuffix;
        list->setText(row, QStringLiteral("t7"), text);
        list->setTextColor(row, QStringLiteral("t7"), kRed);
    }
    if (side.kind == QLatin1String("0")) {
        Prompter::instance().inform(SessionInfo().appTitle,
                                    withReason(kNotDeliveredMessage, reason));
        emit czMayBeEnabled();
    }
}

void SubmissionController::markUnknown(const QString &sideText, const QString &reason)
{
    // The store keeps -1, which no scan sends.
    const SideText side = splitSideText(sideText);
    KeyedListView *list = listForKind(side.kind);
    if (QTreeWidgetItem *row = rowOf(list, side.orderNo)) {
        list->setText(row, QStringLiteral("t7"), kOutcomeUnknownText);
        list->setTextColor(row, QStringLiteral("t7"), kRed);
    }
    if (side.kind == QLatin1String("0")) {
        Prompter::instance().inform(SessionInfo().appTitle, withReason(kUnknownMessage, reason));
        emit czMayBeEnabled();
    }
}

void SubmissionController::判断充值结果(const QString &response, const QString &sideText)
{
    const bool manual = splitSideText(sideText).kind == QLatin1String("0");
    const RechargeAnswer answer = readRechargeAnswer(response);
    const QString &title = SessionInfo().appTitle;

    switch (answer.kind) {
    case RechargeAnswer::Unreadable:
        markUnknown(sideText, QStringLiteral("平台的应答无法读取"));
        return;
    case RechargeAnswer::Refused:
        if (manual)
            Prompter::instance().inform(title, answer.title);
        l7反馈(answer.title, QString(), QString(), sideText, OrderStatus::Refunded);
        break;
    case RechargeAnswer::Accepted:
        if (manual)
            Prompter::instance().inform(title, kRechargeAccepted);
        if (answer.balance != QLatin1String("-1"))
            emit balanceTextChanged(answer.balance + kUnitYuan);
        ++m_tradeCount;
        emit tradeCountChanged(m_tradeCount, tradeCountText(m_tradeCount));
        if (answer.status == OrderStatus::Recharged) {
            if (!answer.cardCode.isEmpty()) {
                QClipboard *clipboard = QApplication::clipboard();
                clipboard->clear();
                clipboard->setText(answer.cardCode);
            }
            if (manual)
                Prompter::instance().inform(title, kCardCopied + answer.cardCode);
        }
        l7反馈(状态转换(answer.status), answer.rechargeId, answer.cardCode, sideText,
               answer.status);
        break;
    }
    if (manual)
        emit czMayBeEnabled();
}

void SubmissionController::l7反馈(const QString &text, const QString &rechargeId,
                                  const QString &cardCode, const QString &sideText, int status)
{
    const SideText side = splitSideText(sideText);
    const bool stored =
        m_store
            .反写数据库状态(side.orderNo, QString::number(status), cardCode, rechargeId, QString())
            .ok();

    KeyedListView *list = listForKind(side.kind);
    QTreeWidgetItem *row = rowOf(list, side.orderNo);
    if (!row)
        return;
    list->setText(row, QStringLiteral("t7"), stored ? text : text + kStatusNotSavedSuffix);
    list->setText(row, QStringLiteral("t8"), rechargeId);
    list->setText(row, QStringLiteral("t9"), cardCode);
    list->setText(row, QStringLiteral("t11"), cardCode);
    if (status == OrderStatus::Recharged)
        list->setTextColor(row, QStringLiteral("t7"), kBlue);
    else if (status == OrderStatus::Refunded || !stored)
        list->setTextColor(row, QStringLiteral("t7"), kRed);

    if (status == OrderStatus::Recharged && m_feedback)
        m_feedback(QStringLiteral("补反馈<o>") + cell(list, row, "t13") +
                   QStringLiteral("<o>1<o>") + cardCode + QStringLiteral("<o>") +
                   cell(list, row, "t6"));
}
