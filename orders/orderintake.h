#pragma once

#include "orders/orderledger.h"
#include "orders/rechargeorder.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The intake of new orders from the manual panel and the shop harvesters: it
// refuses an order number seen since start-up, an order whose product matches
// nothing in the catalogue, and an order already in the store, in that order,
// and hands every other order, with status -2, to the ledger. A shop order
// whose product matches nothing is kept apart (未匹配订单) for the agent.
class OrderIntake
{
public:
    // 判断业务名称: product text, amount text, source (0 manual, 1 Taobao,
    // 2 Paipai) -> what the catalogue makes of it; nothing when nothing matches.
    using Matcher = std::function<std::optional<CatalogueMatch>(
        const QString &productText, const QString &amountText, int source)>;
    OrderIntake(OrderLedger &ledger, Matcher matcher);

    void setMatcher(Matcher matcher) { m_matcher = std::move(matcher); }

    // While it answers false (no catalogue yet) every order is refused
    // without being remembered as seen, so the next harvest offers it again.
    void setReady(std::function<bool()> ready) { m_ready = std::move(ready); }

    // True when this order number was handed to the intake before since
    // start-up; otherwise it is remembered and the answer is false. Whole
    // numbers are compared: a number that is part of a longer one is new.
    bool 判断来源单号(const QString &orderNo);

    // True when the order passed the three checks and was shown and stored. An
    // order number stays seen even when a later check refuses it, unless the
    // store could not be asked: then the next harvest offers it again.
    //
    // A shop order is taken only when the store's insert made its row, so
    // that two seats sharing the store never both take it. One whose product
    // the catalogue cannot place (no match, or figures that are no numbers)
    // is kept in 未匹配订单 once, and the answer is false.
    bool 插入新订单(const NewOrder &order);

    // Runs offer, which hands the orders of one shop page to 插入新订单, as one
    // store transaction, and shows the orders taken once it is committed.
    // When it is not, none of them is kept and the next harvest offers them
    // again. The number of orders taken.
    int takePage(const std::function<void()> &offer);

private:
    void keepUnmatched(const NewOrder &order);

    OrderLedger &m_ledger;
    Matcher m_matcher;
    std::function<bool()> m_ready;
    bool m_inPage = false;
    QSet<QString> m_seen; // not saved: a restart starts empty
};
