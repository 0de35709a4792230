#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QObject>
#include <QUrl>

class NetworkAccess;
class QWebEngineCookieStore;
class QWebEngineProfile;

// Cookies the embedded browser sets are sent by every Transfer to the same
// host, and cookies a Transfer receives reach the browser: this is how shop
// requests go out as the seller the agent logged in as.
class SharedCookieJar : public QNetworkCookieJar
{
    Q_OBJECT
public:
    explicit SharedCookieJar(QWebEngineCookieStore *store, QObject *parent = nullptr);

    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url) override;
    QList<QNetworkCookie> cookies() const { return allCookies(); }

private:
    QWebEngineCookieStore *m_store;
};

// The one browser profile of the process and the network access manager that
// every Transfer shares with it.
class WebProfile : public QObject
{
    Q_OBJECT
public:
    static WebProfile &instance();

    // Before the first instance(): keep cookies and caches in memory only.
    // Tests use it so that runs do not see each other's cookies.
    static void setOffTheRecord(bool offTheRecord);

    QWebEngineProfile *profile() const { return m_profile; }
    // What every Transfer of the client goes through, with the browser's cookies.
    NetworkAccess &networkAccess() const { return *m_network; }
    SharedCookieJar *cookieJar() const { return m_jar; }

private:
    WebProfile();

    QWebEngineProfile *m_profile = nullptr;
    NetworkAccess *m_network = nullptr;
    SharedCookieJar *m_jar = nullptr;
};
