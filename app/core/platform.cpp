#include "app/core/platform.h"

#include "app/core/gbk.h"

#include <QRandomGenerator>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr char kHexUpper[] = "0123456789ABCDEF";
constexpr char kHexLower[] = "0123456789abcdef";

bool isAsciiAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

void appendPercentByte(QString &out, uchar b)
{
    out.append(QLatin1Char('%'));
    out.append(QLatin1Char(kHexUpper[b >> 4]));
    out.append(QLatin1Char(kHexUpper[b & 0xF]));
}

// Letters and digits as they are, every other byte as %XX.
QString percentEncodeBytes(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (isAsciiAlnum(static_cast<uchar>(c)))
            out.append(QLatin1Char(c));
        else
            appendPercentByte(out, static_cast<uchar>(c));
    }
    return out;
}

// text.indexOf(marker), for readers that seek each of their markers through
// most of a long page: eight positions at a time are tested for the marker's
// first and last character, and only where both match is the rest compared.
qsizetype indexOfMarker(QStringView text, QStringView marker)
{
    const qsizetype m = marker.size();
    if (m < 2)
        return m == 0 ? 0 : text.indexOf(marker.front());
    const qsizetype lastStart = text.size() - m;
    const char16_t *const h = text.utf16();
    const char16_t *const nd = marker.utf16();
    const auto matchesAt = [&](qsizetype at) { return std::equal(nd + 1, nd + m - 1, h + at + 1); };
    qsizetype at = 0;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi16(short(nd[0]));
    const __m128i last = _mm_set1_epi16(short(nd[m - 1]));
    for (; at + 8 <= lastStart + 1; at += 8) {
        const __m128i fronts = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at));
        const __m128i backs = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at + m - 1));
        // Two mask bits per position.
        auto both = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(fronts, first), _mm_cmpeq_epi16(backs, last))));
        for (; both != 0; both &= both - 1, both &= both - 1) {
            const qsizetype candidate = at + std::countr_zero(both) / 2;
            if (matchesAt(candidate))
                return candidate;
        }
    }
#endif
    for (; at <= lastStart; ++at) {
        if (h[at] == nd[0] && h[at + m - 1] == nd[m - 1] && matchesAt(at))
            return at;
    }
    return -1;
}

} // namespace

QString NewSjValue()
{
    // A single-precision draw in [0, 1) with the 24 bits a float carries; the
    // arithmetic stays in float so the value has the usual seven digits.
    const float r = float(QRandomGenerator::global()->bounded(1u << 24)) / float(1u << 24);
    const float value = r * 1000.0f + 50.0f;
    // Below 1e7 the 'g' form with seven digits never switches to an exponent.
    return QString::number(double(value), 'g', 7);
}

CutText::CutText(QString text) : m_text(std::move(text)) {}

QString CutText::toString() const
{
    return m_offset == 0 ? m_text : m_text.sliced(m_offset);
}

void CutText::advance(qsizetype count)
{
    m_offset += qBound(qsizetype(0), count, size());
}

qsizetype CutText::find(QStringView marker)
{
    for (const Found &f : std::as_const(m_found)) {
        if (f.marker != marker)
            continue;
        if (f.at < 0)
            return -1;
        if (f.at >= m_offset)
            return f.at - m_offset;
        break;
    }
    const qsizetype at = indexOfMarker(view(), marker);
    const qsizetype absolute = at < 0 ? -1 : m_offset + at;
    for (Found &f : m_found) {
        if (f.marker == marker) {
            f.at = absolute;
            return at;
        }
    }
    // A reader uses a handful of fixed markers; a caller that invents new ones
    // does not make the list grow without end.
    if (m_found.size() >= 32)
        m_found.removeFirst();
    m_found.append({marker.toString(), absolute});
    return at;
}

QString ExtractBetween(QStringView start, QStringView end, CutText &text, bool takeRest)
{
    const qsizetype startAt = text.find(start);
    if (startAt < 0)
        return QString();
    text.advance(startAt + start.size());

    if (takeRest)
        return text.toString();

    const qsizetype endAt = text.find(end);
    if (endAt < 0)
        return QString();
    const QString result = text.view().first(endAt).toString();
    if (endAt > 0)
        text.advance(endAt - 1);
    return result;
}

QString ExtractBetween(QStringView start, QStringView end, QString &text, bool takeRest)
{
    CutText cut(std::move(text));
    const QString result = ExtractBetween(start, end, cut, takeRest);
    text = cut.toString();
    return result;
}

QString UrlEncodeGbk(QStringView text)
{
    return percentEncodeBytes(toGbk(text));
}

QString UrlEncodeUtf8(QStringView text)
{
    while (text.startsWith(u' '))
        text = text.sliced(1);
    while (text.endsWith(u' '))
        text.chop(1);
    return percentEncodeBytes(text.toUtf8());
}

namespace {

// The code a character contributes to the word array: its GBK code as a signed value,
// a double-byte code taken as a negative 16-bit number.
std::int32_t md5CharCode(QChar c, QStringEncoder &gbk)
{
    if (c.unicode() < 0x80)
        return c.unicode();
    if (c.isSurrogate())
        return '?';
    const QByteArray bytes = gbk(QStringView(&c, 1));
    if (bytes.size() == 1)
        return static_cast<uchar>(bytes[0]);
    if (bytes.size() == 2) {
        const auto code =
            std::uint16_t(static_cast<uchar>(bytes[0]) << 8 | static_cast<uchar>(bytes[1]));
        return static_cast<std::int16_t>(code);
    }
    return '?';
}

std::uint32_t rotl(std::uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

void md5Compress(std::array<std::uint32_t, 4> &state, const std::uint32_t *x)
{
    static constexpr std::uint32_t k[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    static constexpr int s[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const std::uint32_t next = b + rotl(a + f + k[i] + x[g], s[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

QString Md5Short(QStringView text)
{
    const auto length = std::uint64_t(text.size());
    // Room for the 0x80 byte and the 64-bit length, rounded up to whole 16-word blocks.
    const std::size_t wordCount = ((length + 8) / 64 + 1) * 16;
    std::vector<std::uint32_t> words(wordCount, 0);
    QStringEncoder gbk("GBK", QStringConverter::Flag::Stateless);
    for (std::size_t i = 0; i < length; ++i) {
        // The sign extension of a double-byte code spills into the bytes above it,
        // exactly as the platform's implementation does.
        const auto code = static_cast<std::uint32_t>(md5CharCode(text[qsizetype(i)], gbk));
        words[i / 4] |= code << (8 * (i % 4));
    }
    words[length / 4] |= std::uint32_t(0x80) << (8 * (length % 4));
    const std::uint64_t bits = length * 8;
    words[wordCount - 2] = std::uint32_t(bits);
    words[wordCount - 1] = std::uint32_t(bits >> 32);

    std::array<std::uint32_t, 4> state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (std::size_t block = 0; block < wordCount; block += 16)
        md5Compress(state, words.data() + block);

    QString out;
    out.reserve(16);
    for (const std::uint32_t word : {state[1], state[2]}) {
        for (int byte = 0; byte < 4; ++byte) {
            const auto b = std::uint8_t(word >> (8 * byte));
            out.append(QLatin1Char(kHexLower[b >> 4]));
            out.append(QLatin1Char(kHexLower[b & 0xF]));
        }
    }
    return out;
}

QString RandomLetterToken()
{
    QString token = QStringLiteral("qwhtrbxnmakpzeyfcjsuvdgoi");
    auto *random = QRandomGenerator::global();
    for (int round = 0; round < 100; ++round) {
        const auto p = qsizetype(random->bounded(25));
        const auto q = qsizetype(random->bounded(25));
        std::swap(token[p], token[q]);
    }
    return token;
}

QDateTime CurrentDateTime()
{
    return QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
}

namespace {
const QString kFieldEnd = QStringLiteral("?@?");
}

MarkerReader::MarkerReader(QString text) : m_rest(std::move(text)) {}

std::optional<QString> MarkerReader::next(QStringView name)
{
    QString start;
    start.reserve(name.size() + 3);
    start.append(QLatin1Char('?')).append(name).append(QLatin1String("?="));
    const QStringView rest = m_rest.view();
    const qsizetype startAt = rest.indexOf(start);
    if (startAt < 0)
        return std::nullopt;
    const qsizetype valueAt = startAt + start.size();
    const qsizetype endAt = rest.indexOf(kFieldEnd, valueAt);
    if (endAt < 0)
        return std::nullopt;
    QString value = rest.sliced(valueAt, endAt - valueAt).toString();
    m_rest.advance(endAt + kFieldEnd.size());
    return value;
}
