#include "recharge/facevalue.h"

#include <algorithm>
#include <optional>

namespace {

using Magnitude = unsigned __int128;

constexpr int kDecimals = 4;
constexpr qsizetype kMaxDigits = 18; // two such factors multiply within 128 bits

// digits / 10^scale, with a sign.
struct Decimal
{
    bool negative = false;
    Magnitude digits = 0;
    int scale = 0;
};

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

std::optional<Decimal> parseDecimal(QStringView text)
{
    text = text.trimmed();
    Decimal d;
    if (text.startsWith(u'-') || text.startsWith(u'+')) {
        d.negative = text.front() == u'-';
        text = text.sliced(1);
    }
    const qsizetype point = text.indexOf(u'.');
    QStringView whole = point < 0 ? text : text.first(point);
    QStringView fraction = point < 0 ? QStringView() : text.sliced(point + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    for (const QStringView part : {whole, fraction}) {
        for (const QChar c : part) {
            if (!isDigit(c))
                return std::nullopt;
        }
    }
    while (whole.startsWith(u'0'))
        whole = whole.sliced(1);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole.size() + fraction.size() > kMaxDigits)
        return std::nullopt;
    for (const QStringView part : {whole, fraction}) {
        for (const QChar c : part)
            d.digits = d.digits * 10 + Magnitude(c.unicode() - u'0');
    }
    d.scale = int(fraction.size());
    return d;
}

Magnitude powerOfTen(int exponent)
{
    Magnitude p = 1;
    for (int i = 0; i < exponent; ++i)
        p *= 10;
    return p;
}

QString digitsText(Magnitude value)
{
    if (value == 0)
        return QStringLiteral("0");
    QString reversed;
    while (value > 0) {
        reversed.append(QChar(u'0' + char16_t(value % 10)));
        value /= 10;
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

} // namespace

QStringView faceValueLabel(QStringView entry)
{
    const qsizetype eq = entry.indexOf(u'=');
    return eq < 0 ? entry : entry.first(eq);
}

QString scaledAmountText(QStringView label, QStringView multiplier)
{
    const std::optional<Decimal> a = parseDecimal(label);
    const std::optional<Decimal> b = parseDecimal(multiplier);
    if (!a || !b)
        return QString();

    Magnitude value = a->digits * b->digits;
    int scale = a->scale + b->scale;
    if (scale > kDecimals) {
        const Magnitude divisor = powerOfTen(scale - kDecimals);
        const Magnitude remainder = value % divisor;
        value /= divisor;
        if (remainder * 2 >= divisor)
            ++value;
        scale = kDecimals;
    }

    QString digits = digitsText(value);
    if (digits.size() <= scale)
        digits.prepend(QString(scale - digits.size() + 1, u'0'));
    QString whole = digits.first(digits.size() - scale);
    QStringView fraction = QStringView(digits).sliced(digits.size() - scale);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        whole.append(QLatin1Char('.')).append(fraction);
    if (a->negative != b->negative && value != 0)
        whole.prepend(QLatin1Char('-'));
    return whole;
}

QString faceValueDisplayAmount(QStringView label, QStringView unit, QStringView multiplier)
{
    if (unit == kYuanUnit) {
        QString scaled = scaledAmountText(label, multiplier);
        if (!scaled.isNull())
            return scaled;
    }
    return label.toString();
}
