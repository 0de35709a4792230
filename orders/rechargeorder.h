#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// Where an order stands. Stored as these numbers; the texts are for display
// only (状态转换).
enum class OrderStatus : int
{
    Waiting = -2,     // 等待提交
    Submitting = -1,  // 正在提交
    Accepted = 0,     // 等待服务器充值
    Recharged = 1,    // 充值成功
    Refunded = 2,     // 充值失败,已经退款
    Shipped = 3,      // 充值成功,已经发货
    SubmitFailed = 4, // 提交失败
};

// The number the store keeps, and back; a number that is no status stays
// what it is and shows no text.
constexpr int statusNumber(OrderStatus status)
{
    return static_cast<int>(status);
}
constexpr OrderStatus statusFromNumber(int number)
{
    return static_cast<OrderStatus>(number);
}

// One recharge order: a row of the table 充值订单 and of the order lists.
struct RechargeOrder
{
    int orderType = 0; // 0 manual panel, 1 Taobao, 2 Paipai
    QString rechargeAccount;
    QString productName;
    double salePrice = 0;
    double quantity = 0;
    QDateTime rechargeTime;
    QString buyerNick;
    OrderStatus status = OrderStatus::Waiting;
    QString cardCode;
    QString rechargeId;
    QString printMark;
    QString randomNo;
    QString orderNo;
    QString shipNo;
    QString platformProduct;
    QString serverArea;
    QString actualQuantity;
    QString userId;
    QString queryArea;
    QString buyerNumber; // read only; the client never writes it
    QString seat;        // the seat that took the order (written by the store)
    // A consign of it may have reached the shop with no answer read (written
    // by the store): only the shop's order list tells whether it was taken.
    bool consignUnknown = false;
    // A shop list offered it again after such an outcome (written by the
    // store): the shop's first refusal of the next consign may be a refusal of
    // the repeat of one it took late, so it is not believed at once.
    bool consignDoubted = false;
};

// Where a Taobao buyer's card code stands on its way through the messenger.
enum class HandOverState : int
{
    Waiting = 1,      // to be typed into the buyer's chat
    HandedOver = 2,   // typed and sent
    Failed = 3,       // not sent: see the reason; the desk offers it again
    HandedByHand = 4, // the agent says it sent the code another way
    Typing = 5,       // being typed: a run that ends now may or may not have sent it
};

// One card code to hand to its buyer; a row of 卡密交接.
struct HandOver
{
    QString orderNo = {};
    QString shipNo = {};
    QString buyer = {};
    QString cardCode = {};
    HandOverState state = HandOverState::Waiting;
    QString reason = {};
    int tries = 0;
    QDateTime time = {};
    QString seat = {}; // the seat that shipped the order and hands the code over
};

// An order as the counter or a shop page hands it to the intake (插入新订单),
// before the catalogue has said what it is.
struct NewOrder
{
    int type = 0;         // 0 counter, 1 Taobao, 2 Paipai
    QString shipNo = {};  // what the shop's consign takes; the token at the counter
    QString orderNo = {}; // the shop's order number; the token at the counter
    QString buyerNick = {};
    QString rechargeAccount = {}; // the number or account to recharge
    QString operationLabel = {};  // "手工操作" at the counter; not stored
    QString quantityText = {};    // the amount chosen, or the bought count
    QString productName = {};     // the product as the agent or the shop names it
    QString serverArea = {};
    QString queryArea = {}; // the number's region, as the counter looked it up
};

// What the catalogue makes of an order (判断业务名称): the product the
// platform recharges and the order's figures, as the catalogue gives them.
struct CatalogueMatch
{
    QString platformProduct; // the catalogue row's name: 平台业务
    QString amount;          // the face value chosen, as the list shows it: 售价
    QString quantity;        // 数量
    QString actualQuantity;  // 实际数量
};

// The order at 等待提交 that a matched NewOrder makes, entered now for the
// account; nothing when the catalogue's figures do not read as numbers, which
// would put wrong amounts on a real recharge.
std::optional<RechargeOrder> matchedOrder(const NewOrder &n, const CatalogueMatch &match,
                                          const QDateTime &now, const QString &userId);

// A catalogue product the agent may choose, with the amounts it offers as
// the catalogue list shows them (what 判断业务名称 compares for a counter order).
struct ProductChoice
{
    QString name;
    QStringList amounts;
};

// The display text of a status; empty for a value that is none of them.
QString 状态转换(OrderStatus status);

// 充值时间 as the table keeps it, "yyyy-MM-dd HH:mm:ss" in local time to the
// second, so that text order is time order; and back, where an unreadable
// text gives an invalid time.
QString storedTimeText(const QDateTime &time);
QDateTime storedTimeFrom(const QString &text);

// A text column never holds NULL: a null QString binds as the empty text.
inline QString columnText(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}
