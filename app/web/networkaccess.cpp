#include "app/web/networkaccess.h"

#include "app/core/gbk.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>

NetworkAccess::NetworkAccess(int transferTimeoutMs, QObject *parent)
    : QObject(parent), m_shared(new QNetworkAccessManager(this)),
      m_transferTimeoutMs(transferTimeoutMs > 0 ? transferTimeoutMs : 60'000)
{
    setCookieJar(new QNetworkCookieJar);
}

NetworkAccess::~NetworkAccess() = default;

void NetworkAccess::setCookieJar(QNetworkCookieJar *jar)
{
    // The manager takes the jar as its child and deletes the one before.
    m_shared->setCookieJar(jar);
}

QUrl wireUrl(const QString &address)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray bytes;
    bytes.reserve(address.size());
    qsizetype i = 0;
    while (i < address.size()) {
        if (address.at(i).unicode() < 0x80) {
            bytes.append(static_cast<char>(address.at(i).unicode()));
            ++i;
            continue;
        }
        // A whole run at once, so that surrogate pairs stay together.
        qsizetype end = i;
        while (end < address.size() && address.at(end).unicode() >= 0x80)
            ++end;
        for (const char b : toGbk(QStringView(address).mid(i, end - i))) {
            const auto u = static_cast<unsigned char>(b);
            bytes.append('%');
            bytes.append(hex[u >> 4]);
            bytes.append(hex[u & 0xF]);
        }
        i = end;
    }
    return QUrl::fromEncoded(bytes, QUrl::TolerantMode);
}
