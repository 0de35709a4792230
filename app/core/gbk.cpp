#include "app/core/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

namespace {

// Copies the ASCII bytes at the start of in[0, n) to out, widened, and returns
// how many there were. out has room for n characters.
qsizetype widenAscii(const uchar *in, qsizetype n, char16_t *out)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        // All 16 are widened; those from the first high byte on are written
        // over by the caller.
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(chunk, zero));
        if (const int high = _mm_movemask_epi8(chunk))
            return i + std::countr_zero(unsigned(high));
    }
#endif
    for (; i < n && in[i] < 0x80; ++i)
        out[i] = in[i];
    return i;
}

} // namespace

QString fromGbk(QByteArrayView bytes)
{
    // Pages are mostly ASCII markup, which is the same text in GBK, so only the
    // stretches with high bytes go through the converter. A byte below 0x80
    // never begins a character and, read alone or as a trail byte, always ends
    // one: cut just past it, the converter is left holding nothing. Each
    // stretch therefore runs to the first such byte after its high bytes, and
    // reads exactly as it would inside the whole text. Cutting before that byte
    // instead would not do: 0x80 and 0xFF are characters of their own, so a
    // high byte is not always a lead.
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    // A stretch gives no more characters than bytes, so the text seldom grows;
    // it does when the converter asks for its room, twice its input.
    QString text(n, Qt::Uninitialized);
    qsizetype written = 0;
    qsizetype at = 0;
    while (at < n) {
        if (written + (n - at) > text.size())
            text.resize(written + (n - at));
        const qsizetype ascii =
            widenAscii(in + at, n - at, reinterpret_cast<char16_t *>(text.data()) + written);
        at += ascii;
        written += ascii;
        if (at == n)
            break;
        qsizetype end = at;
        while (end < n && in[end] >= 0x80)
            ++end;
        if (end < n)
            ++end;
        const QByteArrayView stretch = bytes.sliced(at, end - at);
        const qsizetype room = written + decoder.requiredSpace(stretch.size());
        if (room > text.size())
            text.resize(std::max(room, n));
        written = decoder.appendToBuffer(text.data() + written, stretch) - text.data();
        at = end;
    }
    text.truncate(written);
    return text;
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
