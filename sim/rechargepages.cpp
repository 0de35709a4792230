// The platform's recharges: productcz1.asp?action=cz takes an order and
// debits the balance, chargestatus.asp reports what became of it.
#include "sim/pages.h"

#include "app/core/platformtexts.h"

#include <QRandomGenerator>

namespace sim {

namespace {

const QString kBase = QStringLiteral("/platform/");

Page refuse(const QString &reason)
{
    return Page::html(reason, QStringLiteral("<p>") + escapeHtml(reason) + QStringLiteral("</p>"));
}

QString money(double value)
{
    return QString::number(value, 'f', 2);
}

// The cost of one unit of the label in the product's value text, or nullopt.
std::optional<double> unitCost(const Product &product, const QString &label)
{
    const QStringList entries = product.value.split(QLatin1Char('|'));
    for (qsizetype i = 1; i < entries.size(); ++i) {
        const qsizetype eq = entries.at(i).indexOf(QLatin1Char('='));
        if (eq <= 0 || entries.at(i).left(eq) != label)
            continue;
        bool ok = false;
        const double cost = entries.at(i).mid(eq + 1).toDouble(&ok);
        if (ok)
            return cost;
    }
    return std::nullopt;
}

QString newCardCode()
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    QString code;
    for (int i = 0; i < 16; ++i)
        code += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(32)]);
    return code;
}

// The code as the platform prints it: in groups, with hyphens and blanks.
QString writtenInGroups(const QString &code)
{
    return code.mid(0, 4) + QStringLiteral("-") + code.mid(4, 4) + QStringLiteral(" ") +
           code.mid(8, 4) + QStringLiteral(" - ") + code.mid(12);
}

// productcz1.asp?action=cz, POST game_cp, game_list, game_area, game_userid,
// sessionkey, Cardnum, counts, lx, cx, key.
Page recharge(const Request &r, State &s)
{
    if (r.queryValue(QStringLiteral("action")) != QLatin1String("cz"))
        return refuse(QStringLiteral("参数错误"));
    Account *account = s.accountForSession(r.formValue(QStringLiteral("sessionkey")));
    if (!account)
        return refuse(QStringLiteral("请重新登陆！"));
    const QString key = r.formValue(QStringLiteral("key"));
    if (key.isEmpty())
        return refuse(QStringLiteral("订单编号不能为空"));
    if (s.rechargeCount(key) > 0)
        return refuse(kKeyAlreadyTaken + key);
    const QString name = r.formValue(QStringLiteral("game_list"));
    const Product *product = s.findProduct(name);
    if (!product)
        return refuse(QStringLiteral("没有这个商品：") + name);
    const QString target = r.formValue(QStringLiteral("game_userid"));
    if (target.isEmpty())
        return refuse(QStringLiteral("充值号码不能为空"));
    const QString cardnum = r.formValue(QStringLiteral("Cardnum"));
    bool countOk = false;
    const int counts = r.formValue(QStringLiteral("counts")).toInt(&countOk);
    if (!countOk || counts < 1)
        return refuse(QStringLiteral("数量不正确：") + r.formValue(QStringLiteral("counts")));
    // A counter order is one face value once; a shop order is its unit face
    // value ("1元") bought counts times, charged as the face value they make.
    double total = 0;
    if (const auto cost = unitCost(*product, cardnum)) {
        total = *cost * counts;
    } else if (const auto whole =
                   unitCost(*product, QString::number(cardnum.toDouble() * counts, 'g', 15))) {
        total = *whole;
    } else {
        return refuse(QStringLiteral("没有这个面值：") + cardnum);
    }
    const double balance = account->balance.toDouble();
    if (balance + 1e-9 < total)
        return refuse(QStringLiteral("余额不足，请先充值"));

    account->balance = money(balance - total);
    RechargeRecord record;
    record.key = key;
    record.account = account->account;
    record.product = name;
    record.target = target;
    record.area = r.formValue(QStringLiteral("game_area"));
    record.cardnum = cardnum;
    record.counts = r.formValue(QStringLiteral("counts"));
    record.lx = r.formValue(QStringLiteral("lx"));
    record.cx = r.formValue(QStringLiteral("cx"));
    record.rechargeId = s.nextRechargeId();
    record.cost = total;
    record.pollsLeft = qMax(1, s.finishPolls());
    record.succeeds = s.finishSucceeds();
    QString title = QStringLiteral("充值提交成功！");
    if (State::isCardProduct(*product)) {
        record.cardCode = newCardCode();
        title += QStringLiteral("--top--") + writtenInGroups(record.cardCode) +
                 QStringLiteral("--end--");
    }
    s.recharges().append(record);
    return Page::html(title, account->balance + QStringLiteral("|") + money(total) +
                                 QStringLiteral("|") + record.rechargeId);
}

// chargestatus.asp, POST action=cx, chargestuat=id|id|, sj, sessionkey.
Page chargeStatus(const Request &r, State &s)
{
    const Account *account = s.accountForSession(r.formValue(QStringLiteral("sessionkey")));
    if (!account)
        return Page::text(QStringLiteral("请重新登陆！"));
    if (r.formValue(QStringLiteral("action")) != QLatin1String("cx"))
        return Page::text(QStringLiteral("参数错误"));

    QString reply = QStringLiteral("3");
    const QStringList ids =
        r.formValue(QStringLiteral("chargestuat")).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        RechargeRecord *record = s.findRecharge(id);
        if (!record || record->account != account->account)
            continue;
        if (record->status == 0 && --record->pollsLeft <= 0) {
            if (record->succeeds) {
                record->status = 1;
            } else {
                record->status = 2;
                if (Account *owner = s.findAccount(record->account))
                    owner->balance = money(owner->balance.toDouble() + record->cost);
            }
        }
        const QString code = record->status == 1 ? record->cardCode : QString();
        reply += QStringLiteral("<id>") + record->rechargeId + QStringLiteral("</id><status>") +
                 QString::number(record->status) + QStringLiteral("</status><hw>") + code +
                 QStringLiteral("</hw></m>");
    }
    return Page::text(reply);
}

} // namespace

bool State::isCardProduct(const Product &product)
{
    return product.list == QStringLiteral("游戏") &&
           product.value.startsWith(QStringLiteral("个|"));
}

const Product *State::findProduct(const QString &name) const
{
    for (const Product &p : m_products) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

RechargeRecord *State::findRecharge(const QString &rechargeId)
{
    for (RechargeRecord &r : m_recharges) {
        if (r.rechargeId == rechargeId)
            return &r;
    }
    return nullptr;
}

int State::rechargeCount(const QString &key) const
{
    int count = 0;
    for (const RechargeRecord &r : m_recharges)
        count += r.key == key ? 1 : 0;
    return count;
}

void State::setRechargeFinish(int polls, bool succeeds)
{
    m_finishPolls = polls;
    m_finishSucceeds = succeeds;
}

void addRechargePages(PlatformSim &sim)
{
    sim.addPage(kBase + QStringLiteral("productcz1.asp"), recharge);
    sim.addPage(kBase + QStringLiteral("chargestatus.asp"), chargeStatus);
}

} // namespace sim
