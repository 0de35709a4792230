#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The platform, the shops' pages and the local text files all speak GBK.

// Characters that GBK cannot hold (and unpaired surrogates) become '?'.
QByteArray toGbk(QStringView text);
QString fromGbk(QByteArrayView bytes);

// Escapes a value that comes from people before it is pasted into an address or a
// form body, so that it can never change the structure of the request: '&', '=', '+',
// '%', '#', '?', blank and control characters become %XX, non-ASCII text its GBK bytes
// as %XX. Everything else stays as it is, so ordinary values go out byte for byte.
QString escapeValue(QStringView value);
