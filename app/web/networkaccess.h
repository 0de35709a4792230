#pragma once

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkCookieJar;

// The HTTP access every Transfer goes through: one manager for ordinary
// requests and one for requests that must reach the server at most once
// (connections of their own, never a reused one), both with the same cookie
// jar, and the time-out a new Transfer gets. Made once at start-up and handed
// to whatever sends requests; tests make their own.
class NetworkAccess : public QObject
{
    Q_OBJECT
public:
    explicit NetworkAccess(int transferTimeoutMs = 60'000, QObject *parent = nullptr);
    ~NetworkAccess() override;

    QNetworkAccessManager *shared() const { return m_shared; }
    QNetworkAccessManager *once() const { return m_once; }

    // Both managers use the jar; this object owns it from now on.
    void setCookieJar(QNetworkCookieJar *jar);

    int transferTimeoutMs() const { return m_transferTimeoutMs; }
    void setTransferTimeoutMs(int ms) { m_transferTimeoutMs = ms > 0 ? ms : 60'000; }

private:
    QNetworkAccessManager *m_once;
    QNetworkAccessManager *m_shared;
    int m_transferTimeoutMs;
};

// The address as it goes on the wire: escapes already in it are kept, and any
// non-ASCII character left in it is written as its GBK bytes, percent-escaped.
QUrl wireUrl(const QString &address);
