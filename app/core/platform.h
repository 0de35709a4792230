#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The conventions every exchange with the agent platform follows, and the small
// string helpers the request builders and page readers share.

// Text of a fresh random value for the `sj` parameter, between 50 and 1050
// ("612.0853"): at most seven significant digits, '.' as point, no exponent.
QString NewSjValue();

// A page being read from front to back. ExtractBetween shortens it in place by moving
// an offset, so cutting a small field from a page of several megabytes never copies
// the rest of the page.
class CutText
{
public:
    CutText() = default;
    explicit CutText(QString text);

    QStringView view() const { return QStringView(m_text).sliced(m_offset); }
    QString toString() const;
    bool isEmpty() const { return size() == 0; }
    qsizetype size() const { return m_text.size() - m_offset; }

    // Drops the first count characters (all of them when count is larger).
    void advance(qsizetype count);

    // Where the first occurrence of marker begins in what is left, or -1. A reader
    // that looks for a marker the page lacks, once per record, would otherwise scan
    // the whole rest of the page each time; as the text only loses its front, an
    // occurrence found earlier stays the first one until the front passes it.
    qsizetype find(QStringView marker);

private:
    struct Found
    {
        QString marker;
        qsizetype at; // in m_text; -1: nowhere at or after where the search began
    };

    QString m_text;
    qsizetype m_offset = 0;
    QList<Found> m_found;
};

// Cuts the text after the first start marker. With takeRest the whole remainder is the
// result. Otherwise the result is what precedes the first end marker, and the text is
// left beginning with the result's last character (at the end marker when the result
// is empty), so that repeated calls read consecutive fragments. A missing end marker
// gives an empty result with the text cut after the start marker; a missing start
// marker gives an empty result and leaves the text alone. Searches are exact and
// case-sensitive; an empty marker matches at the front.
QString ExtractBetween(QStringView start, QStringView end, CutText &text, bool takeRest = false);
QString ExtractBetween(QStringView start, QStringView end, QString &text, bool takeRest = false);

// Percent-encodes everything but ASCII letters and digits; GBK bytes for the rest.
QString UrlEncodeGbk(QStringView text);
// Trims outer blanks, then percent-encodes everything but ASCII letters and digits;
// UTF-8 bytes for characters from U+0080 up.
QString UrlEncodeUtf8(QStringView text);

// 16 lowercase hex digits: the middle of the MD5 that the platform's classic word-array
// implementation computes. Equal to digits 9-24 of the ordinary MD5 for single-byte text;
// a double-byte character enters as its sign-extended GBK code, as that implementation
// does, so the platform's signatures over Chinese text match.
QString Md5Short(QStringView text);

// The 25 letters "qwhtrbxnmakpzeyfcjsuvdgoi", shuffled: a random order or card code.
QString RandomLetterToken();

// Local date and time, without fractions of a second.
QDateTime CurrentDateTime();

// Reads fields written "?name?=value?@?" in a fixed order, each one searched after the
// "?@?" of the field before it.
class MarkerReader
{
public:
    explicit MarkerReader(QString text);

    // nullopt when the field's start marker or its "?@?" is missing; the reading
    // position then stays where it was.
    std::optional<QString> next(QStringView name);

    // The text after the last consumed "?@?".
    CutText &rest() { return m_rest; }

private:
    CutText m_rest;
};
