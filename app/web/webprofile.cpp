#include "app/web/webprofile.h"

#include "app/core/config.h"
#include "app/web/networkaccess.h"

#include <QCoreApplication>
#include <QDir>
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
    m_network = new NetworkAccess(currentConfig().transferTimeoutMs, this);
    m_jar = new SharedCookieJar(m_profile->cookieStore());
    m_network->setCookieJar(m_jar);
}
