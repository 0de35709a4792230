#pragma once

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkCookieJar;

// The HTTP access every Transfer goes through: the manager for ordinary
// requests, whose cookie jar the at-most-once requests (written on
// connections of their own) read and feed too, and the time-out a new
// Transfer gets. Made once at start-up and handed to whatever sends
// requests; tests make their own.
class NetworkAccess : public QObject
{
    Q_OBJECT
public:
    explicit NetworkAccess(int transferTimeoutMs = 60'000, QObject *parent = nullptr);
    ~NetworkAccess() override;

    QNetworkAccessManager *shared() const { return m_shared; }

    // The manager uses the jar; this object owns it from now on.
    void setCookieJar(QNetworkCookieJar *jar);

    int transferTimeoutMs() const { return m_transferTimeoutMs; }
    void setTransferTimeoutMs(int ms) { m_transferTimeoutMs = ms > 0 ? ms : 60'000; }

private:
    QNetworkAccessManager *m_shared;
    int m_transferTimeoutMs;
};

// The address as it goes on the wire: escapes already in it are kept, and any
// non-ASCII character left in it is written as its GBK bytes, percent-escaped.
QUrl wireUrl(const QString &address);
