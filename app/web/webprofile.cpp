#include "app/web/webprofile.h"

#include "app/core/gbk.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace {
bool g_offTheRecord = false;
}

SharedCookieJar::SharedCookieJar(QWebEngineCookieStore *store, QObject *parent)
    : QNetworkCookieJar(parent), m_store(store)
{
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie &cookie) {
        if (!insertCookie(cookie))
            updateCookie(cookie);
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie &cookie) { deleteCookie(cookie); });
    store->loadAllCookies();
}

bool SharedCookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url)
{
    const bool added = QNetworkCookieJar::setCookiesFromUrl(cookies, url);
    // The browser store answers with cookieAdded, which lands here again as an update.
    for (QNetworkCookie cookie : cookies) {
        cookie.normalize(url);
        if (validateCookie(cookie, url))
            m_store->setCookie(cookie, url);
    }
    return added;
}

WebProfile &WebProfile::instance()
{
    static WebProfile *profile = [] {
        auto *p = new WebProfile;
        // Lives as long as the application object, after every window.
        p->setParent(QCoreApplication::instance());
        return p;
    }();
    return *profile;
}

void WebProfile::setOffTheRecord(bool offTheRecord)
{
    g_offTheRecord = offTheRecord;
}

WebProfile::WebProfile()
{
    m_profile = g_offTheRecord ? new QWebEngineProfile(this)
                               : new QWebEngineProfile(QStringLiteral("agent-client"), this);
    // The login and transaction-password addresses carry the passwords: no
    // page may be kept on disk. Cookies stay as they are.
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    // What earlier versions kept on disk goes too.
    if (!g_offTheRecord && !m_profile->cachePath().isEmpty())
        QDir(m_profile->cachePath()).removeRecursively();
    // Made before the manager that owns the jar, so it goes first.
    m_onceNetwork = new QNetworkAccessManager(this);
    m_network = new QNetworkAccessManager(this);
    m_jar = new SharedCookieJar(m_profile->cookieStore(), m_network);
    m_network->setCookieJar(m_jar);
    // Shares the jar; each setCookieJar takes the jar as its child, so the
    // owner is set again last.
    m_onceNetwork->setCookieJar(m_jar);
    m_jar->setParent(m_network);
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
