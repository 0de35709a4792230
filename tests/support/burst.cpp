#include "tests/support/burst.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

struct Item
{
    const char *title;
    const char *quantity;
    bool card;
};

// Titles and quantities the default catalogue matches.
const Item kTaobaoItems[] = {
    {"移动话费充值 1元 自动充值 秒到账", "50", false},
    {"网易一卡通 1点 自动发卡", "30", true},
    {"腾讯Q币 1个 QQ自动充值", "10", false},
    {"魔兽世界点卡 1点 自动发卡", "30", true},
};
const Item kPaipaiItems[] = {
    {"腾讯Q币 1个 QQ自动充值", "10", false},
    {"魔兽世界点卡 1点 自动发卡", "30", true},
    {"网易一卡通 1点 自动发卡", "15", true},
};

} // namespace

QList<BurstOrder> offerBurst(sim::PlatformSim &sim, int n)
{
    QList<BurstOrder> out;
    for (int i = 1; i <= n; ++i) {
        const QString serial = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        if (i % 2) {
            const Item &item = kTaobaoItems[(i / 2) % std::size(kTaobaoItems)];
            sim::TaobaoOrder t;
            t.orderId = QStringLiteral("8") + serial;
            t.orderNo = QStringLiteral("BT") + serial;
            t.title = QString::fromUtf8(item.title);
            t.quantity = QString::fromLatin1(item.quantity);
            t.buyer = QStringLiteral("tb_burst") + serial;
            t.account = item.card ? QStringLiteral("player") + serial
                                  : QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0'));
            t.form = item.card ? sim::TaobaoAccountForm::UserName : sim::TaobaoAccountForm::Phone;
            sim.addTaobaoOrder(t);
            out.append({1, t.orderNo, t.orderId, item.card});
        } else {
            const Item &item = kPaipaiItems[(i / 2) % std::size(kPaipaiItems)];
            sim::PaipaiDeal p;
            p.dealId = QStringLiteral("10001-20261211-8") + serial;
            p.buyerUin = QStringLiteral("3%1").arg(i, 7, 10, QLatin1Char('0'));
            p.itemName = QString::fromUtf8(item.title);
            p.itemCount = QString::fromLatin1(item.quantity);
            p.postscript =
                item.card ? QStringLiteral("gamer") + serial : QStringLiteral("%1").arg(200000 + i);
            sim.addPaipaiDeal(p);
            out.append({2, p.dealId, p.dealId, item.card});
        }
    }
    return out;
}

QHash<QString, OrderStatus> storedStatuses(const QString &file)
{
    QHash<QString, OrderStatus> out;
    const QString name = QStringLiteral("stored-statuses");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT 订单编号, 充值状态 FROM 充值订单"));
            while (q.next())
                out.insert(q.value(0).toString(), statusFromNumber(q.value(1).toInt()));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

int shopMarks(const sim::PlatformSim &sim, const BurstOrder &order)
{
    return order.type == 1 ? sim.taobaoConsignCount(order.shipId)
                           : sim.paipaiMarkCount(order.shipId);
}

char *toString(OrderStatus status)
{
    const QString text =
        QString::number(statusNumber(status)) + QLatin1Char(' ') + 状态转换(status);
    return qstrdup(text.toUtf8().constData());
}
