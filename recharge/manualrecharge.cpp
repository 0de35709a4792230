#include "recharge/manualrecharge.h"

#include "app/core/gbk.h"
#include "recharge/facevalue.h"

#include <QFile>

namespace {

const QString kNameStart = QStringLiteral("<PRODUCT_NAME>");
const QString kNameEnd = QStringLiteral("</PRODUCT_NAME>");
const QString kPriceStart = QStringLiteral("<PRODUCT_JHJ>");
const QString kPriceEnd = QStringLiteral("</PRODUCT_JHJ>");
const QString kAreaStart = QStringLiteral("<PRODUCT_HAO>");
const QString kAreaEnd = QStringLiteral("</PRODUCT_HAO>");
const QString kValueStart = QStringLiteral("<PRODUCT_DW>");
const QString kValueEnd = QStringLiteral("</PRODUCT_DW>");
const QString kNoAreaMarker = QStringLiteral("号");
const QString kFixedLineSuffix = QStringLiteral("固定电话");

// The text between the first start tag and the first end tag after it; empty
// when either is missing.
QString between(QStringView text, QStringView start, QStringView end)
{
    const qsizetype from = text.indexOf(start);
    if (from < 0)
        return {};
    const qsizetype begin = from + start.size();
    const qsizetype to = text.indexOf(end, begin);
    if (to < 0)
        return {};
    return text.sliced(begin, to - begin).toString();
}

// The browser writes text content with these entities; the pages meant the characters.
QString decodeEntities(QString text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&nbsp;"), QString(QChar(0x00a0)));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QString businessListUrl(const QString &baseUrl, const QString &sessionKey, const QString &machineId,
                        const QString &sj)
{
    return baseUrl + kProductPage + QStringLiteral("?sj=") + sj + QStringLiteral("&sessionkey=") +
           escapeValue(sessionKey) + QStringLiteral("&hardware=") + escapeValue(machineId);
}

QString productPageUrl(const QString &baseUrl, const QString &sessionKey, const QString &business,
                       const QString &machineId, const QString &sj, const QString &secondSj)
{
    return baseUrl + kProductPage + QStringLiteral("?action=ss&sessionkey=") +
           escapeValue(sessionKey) + QStringLiteral("&yw=") + escapeValue(business) +
           QStringLiteral("&sj=") + sj + QStringLiteral("&hardware=") + escapeValue(machineId) +
           QStringLiteral("&sj=") + secondSj;
}

QString numberInfoUrl(const QString &serviceUrl)
{
    QString url = serviceUrl;
    if (!url.isEmpty() && !url.endsWith(QLatin1Char('/')))
        url += QLatin1Char('/');
    return url + kNumberInfoPage;
}

QString numberInfoBody(const QString &number)
{
    return QStringLiteral("mobilenum=") + escapeValue(number.left(7));
}

QStringList readBusinessList(const QString &bodyHtml)
{
    QStringList out;
    QStringView rest(bodyHtml);
    while (true) {
        const qsizetype start = rest.indexOf(kNameStart);
        if (start < 0)
            break;
        const qsizetype begin = start + kNameStart.size();
        const qsizetype end = rest.indexOf(kNameEnd, begin);
        if (end < 0)
            break;
        out.append(decodeEntities(rest.sliced(begin, end - begin).toString()));
        rest = rest.sliced(end + kNameEnd.size());
    }
    return out;
}

QList<ManualProduct> readProductPage(const QString &bodyHtml)
{
    QList<ManualProduct> out;
    QStringView rest(bodyHtml);
    while (out.size() < kMaxManualProducts && rest.contains(kNameStart)) {
        ManualProduct p;
        p.name = decodeEntities(between(rest, kNameStart, kNameEnd));
        p.price = decodeEntities(between(rest, kPriceStart, kPriceEnd));
        p.qu = decodeEntities(between(rest, kAreaStart, kAreaEnd));
        p.value = decodeEntities(between(rest, kValueStart, kValueEnd));
        p.needsArea = p.qu != kNoAreaMarker;
        out.append(p);
        const qsizetype end = rest.indexOf(kValueEnd);
        if (end < 0)
            break; // nothing closes this record, so nothing after it can be told apart
        rest = rest.sliced(end + kValueEnd.size());
    }
    return out;
}

AmountChoices amountChoices(const ManualProduct &product)
{
    AmountChoices out;
    const QStringList items = product.value.split(QLatin1Char('|'));
    out.unit = items.value(0);
    for (qsizetype k = 1; k < items.size() && out.amounts.size() < kMaxManualAmounts; ++k) {
        const QString &item = items.at(k);
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq < 0)
            break;
        out.amounts.append(
            faceValueDisplayAmount(QStringView(item).left(eq), out.unit, product.price));
        out.costs.append(item.mid(eq + 1).section(QLatin1Char('='), 0, 0));
    }
    return out;
}

bool isNumberText(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), isAsciiDigit);
}

NumberAction numberAction(const QString &text)
{
    if (!isNumberText(text) || text.size() <= 2)
        return NumberAction::DisableBalance;
    if (text.startsWith(QLatin1Char('1')) && text.size() == 11)
        return NumberAction::RegionRequest;
    if (text.startsWith(QLatin1Char('0')))
        return NumberAction::FixedLineRegion;
    return NumberAction::DisableBalance;
}

const QStringList &fixedLineAreaTable()
{
    // As the window design lists them, one a line in areacodes.txt: the four
    // cities with a leading blank, 淮阴 and 淮安 sharing 0517, 雅安 and 毕节
    // twice, 泸州 with 08400, the Shandong cities under 甘肃省.
    static const QStringList table = [] {
        QFile file(QStringLiteral(":/recharge/areacodes.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }();
    return table;
}

QString 获取电信号码区(const QStringList &table, const QString &firstThree)
{
    for (const QString &entry : table) {
        if (entry.contains(firstThree))
            return entry.section(QLatin1Char('0'), 0, 0) + kFixedLineSuffix;
    }
    return {};
}

QString 获取电信号码区(const QString &firstThree)
{
    return 获取电信号码区(fixedLineAreaTable(), firstThree);
}

std::optional<QString> readNumberRegion(const QString &answer)
{
    const QStringList fields = answer.split(QLatin1Char('|'));
    if (fields.size() < 3)
        return std::nullopt;
    return fields.at(1) + QLatin1Char('-') + fields.at(2);
}

QString formatPurchasePrice(const QString &cost)
{
    // Sign, digits, an optional point and digits: rounded on the text, so that
    // 1.0005 gives 1.001 and not what its binary neighbour would give.
    const QString text = cost.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    QString whole, fraction;
    while (i < text.size() && isAsciiDigit(text.at(i)))
        whole.append(text.at(i++));
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && isAsciiDigit(text.at(i)))
            fraction.append(text.at(i++));
    }
    if (i != text.size() || (whole.isEmpty() && fraction.isEmpty()))
        return cost;

    const bool roundUp = fraction.size() > 3 && fraction.at(3) >= QLatin1Char('5');
    fraction = fraction.left(3).leftJustified(3, QLatin1Char('0'));
    QString digits = (whole.isEmpty() ? QStringLiteral("0") : whole) + fraction;
    if (roundUp) {
        qsizetype k = digits.size() - 1;
        while (k >= 0 && digits.at(k) == QLatin1Char('9'))
            digits[k--] = QLatin1Char('0');
        if (k < 0)
            digits.prepend(QLatin1Char('1'));
        else
            digits[k] = QChar(digits.at(k).unicode() + 1);
    }
    QString intPart = digits.left(digits.size() - 3);
    while (intPart.size() > 1 && intPart.startsWith(QLatin1Char('0')))
        intPart.remove(0, 1);
    const QString result = intPart + QLatin1Char('.') + digits.right(3);
    const bool zero =
        std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c == QLatin1Char('0'); });
    return negative && !zero ? QLatin1Char('-') + result : result;
}

std::optional<PriceLabel> purchasePriceClick(const QString &labelText, bool productChosen,
                                             const std::optional<QString> &cost)
{
    if (labelText != kShowPurchasePrice || !productChosen)
        return PriceLabel{kShowPurchasePrice, kPromptColour};
    if (!cost)
        return std::nullopt;
    return PriceLabel{kPurchasePricePrefix + formatPurchasePrice(*cost), kPriceColour};
}

bool isAmountText(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+')))
        ++i;
    bool digit = false, point = false;
    for (; i < t.size(); ++i) {
        if (isAsciiDigit(t.at(i)))
            digit = true;
        else if (t.at(i) == QLatin1Char('.') && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

QString priceLabelStyle(const QString &colour)
{
    return QStringLiteral("color: %1;").arg(colour);
}
