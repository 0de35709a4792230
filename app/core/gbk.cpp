#include "app/core/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray toGbk(QStringView text)
{
    // The encoder keeps a trailing high surrogate back for a next chunk that never
    // comes; it is unmappable, so it becomes '?' like every other one.
    const bool danglingHigh = !text.isEmpty() && text.back().isHighSurrogate();
    if (danglingHigh)
        text.chop(1);
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder(text);
    if (danglingHigh)
        bytes.append('?');
    return bytes;
}

QString fromGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder(bytes);
}

static bool keepsAsIs(uchar b)
{
    if (b < 0x21 || b >= 0x7F)
        return false;
    switch (b) {
    case '&':
    case '=':
    case '+':
    case '%':
    case '#':
    case '?':
        return false;
    default:
        return true;
    }
}

QString escapeValue(QStringView value)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = toGbk(value);
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<uchar>(c);
        if (keepsAsIs(b)) {
            out.append(QLatin1Char(c));
        } else {
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(hex[b >> 4]));
            out.append(QLatin1Char(hex[b & 0xF]));
        }
    }
    return out;
}
