#include "inventory/cardcodes.h"

#include "app/core/platform.h"

#include <QLocale>

#include <cmath>
#include <limits>

std::optional<int> cardCodeCount(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return int(rounded);
}

QString generateCardCodes(int count)
{
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text.append(QLatin1Char('\r'));
        text.append(RandomLetterToken());
    }
    return text;
}
