#pragma once

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

// How the balance server answers a query.
enum class BalanceReplyMode
{
    Whole,  // the reply in one write
    Pieces, // the reply in two writes, a little apart
    Silent  // reads the query and never answers
};

// The phone-bill balance server: plain TCP on 127.0.0.1, one GBK text message
// per connection and one reply. It understands the signed query message of
// the balance window ("ad.asp?hm=…&&") and the bare number of the main
// window's quick query, and closes after the client's "Close ".
class BalanceServer
{
public:
    BalanceServer();
    ~BalanceServer(); // stops if running
    BalanceServer(const BalanceServer &) = delete;
    BalanceServer &operator=(const BalanceServer &) = delete;

    int start(); // a free port, or -1
    void stop();
    int port() const; // -1 when not running

    void setReplyMode(BalanceReplyMode mode);
    BalanceReplyMode replyMode() const;
    // A number the server knows; replaces one of the same number.
    void setAccount(const QString &number, const QString &name, const QString &balance);

    // Everything received, one entry per message, decoded from GBK ("Close "
    // is an entry of its own).
    QStringList messages() const;
    void clearMessages();

    // The answer to one complete message.
    QString replyTo(const QString &message) const;

private:
    void acceptLoop();
    void serve(int fd);
    void record(const QString &message);

    mutable std::mutex m_mutex;
    QHash<QString, QPair<QString, QString>> m_accounts; // number -> name, balance
    QStringList m_messages;
    BalanceReplyMode m_mode = BalanceReplyMode::Whole;
    int m_listen = -1;
    int m_port = -1;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_workers;
};

// The key of a balance query: 16 hex digits of the MD5 of the text between
// "?" and "sj=" followed by "qorvaxle".
QString balanceQueryKey(const QString &message);
// The platform's short MD5 (digits 9 to 24), with a double-byte character
// entering as its sign-extended GBK code. Exact for texts that end with at
// least three single-byte characters, as every signed text here does.
QString md5Short(const QString &text);

} // namespace sim
