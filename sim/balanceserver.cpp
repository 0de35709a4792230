#include "sim/balanceserver.h"

#include "sim/platformsim.h"

#include <QCryptographicHash>
#include <QStringEncoder>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

const QByteArray kClose = QByteArrayLiteral("Close ");
const QByteArray kQueryStart = QByteArrayLiteral("ad.asp?");
const QByteArray kQueryEnd = QByteArrayLiteral("&&");
constexpr int kQuickNumberLength = 11;
constexpr int kPieceGapMs = 150;
constexpr int kConnectionLifeMs = 20'000;

bool allDigits(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    for (const char c : bytes) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Length of the first complete message at the front of the buffer, 0 when
// none is complete yet.
qsizetype completeMessage(const QByteArray &buffer)
{
    if (buffer.startsWith(kClose))
        return kClose.size();
    if (buffer.startsWith(kQueryStart)) {
        // An empty area part gives "&&" early too; the message ends after its key.
        const qsizetype key = buffer.indexOf(QByteArrayLiteral("&key="));
        const qsizetype end = key < 0 ? -1 : buffer.indexOf(kQueryEnd, key);
        return end < 0 ? 0 : end + kQueryEnd.size();
    }
    const QByteArray head = buffer.left(kQuickNumberLength);
    if (head.size() == kQuickNumberLength && allDigits(head))
        return kQuickNumberLength;
    return 0;
}

void sendAll(int fd, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

QString valueOf(const QString &message, const QString &key)
{
    const QString marker = key + QLatin1Char('=');
    qsizetype from = message.indexOf(QLatin1Char('?') + marker);
    if (from < 0)
        from = message.indexOf(QLatin1Char('&') + marker);
    if (from < 0)
        return {};
    from += marker.size() + 1;
    const qsizetype end = message.indexOf(QLatin1Char('&'), from);
    return message.mid(from, end < 0 ? -1 : end - from);
}

} // namespace

QString md5Short(const QString &text)
{
    // Each character is one byte of the message; a double-byte code spills
    // its sign extension into the bytes above it within the same word.
    QByteArray bytes(text.size(), '\0');
    QStringEncoder gbk("GBK");
    for (qsizetype i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i].unicode();
        if (code >= 0x80) {
            const QByteArray encoded = gbk(QStringView(text).sliced(i, 1));
            code = encoded.size() == 2
                       ? std::uint32_t(std::int32_t(std::int16_t(
                             std::uint16_t(uchar(encoded[0]) << 8 | uchar(encoded[1])))))
                       : std::uint32_t(encoded.isEmpty() ? uchar('?') : uchar(encoded[0]));
        }
        for (qsizetype b = i; b < text.size() && b < (i / 4 + 1) * 4; ++b)
            bytes[b] = char(uchar(bytes[b]) | uchar(code >> (8 * (b - i))));
    }
    const QByteArray hex = QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
    return QString::fromLatin1(hex.mid(8, 16));
}

QString balanceQueryKey(const QString &message)
{
    const qsizetype from = message.indexOf(QLatin1Char('?'));
    const qsizetype to = message.indexOf(QStringLiteral("sj="));
    if (from < 0 || to < from)
        return {};
    return md5Short(message.mid(from + 1, to - from - 1) + QStringLiteral("qorvaxle"));
}

BalanceServer::BalanceServer()
{
    setAccount(QStringLiteral("13800138000"), QStringLiteral("张三"), QStringLiteral("56.30"));
    setAccount(QStringLiteral("13991301234"), QStringLiteral("李四"), QStringLiteral("12.80"));
    setAccount(QStringLiteral("02988886666"), QStringLiteral("王五"), QStringLiteral("103.50"));
}

BalanceServer::~BalanceServer()
{
    stop();
}

int BalanceServer::start()
{
    if (m_listen >= 0)
        return m_port;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    m_listen = fd;
    m_port = ntohs(address.sin_port);
    m_stopping = false;
    m_acceptor = std::thread([this] { acceptLoop(); });
    return m_port;
}

void BalanceServer::stop()
{
    if (m_listen < 0)
        return;
    m_stopping = true;
    m_acceptor.join();
    for (std::thread &worker : m_workers)
        worker.join();
    m_workers.clear();
    ::close(m_listen);
    m_listen = -1;
    m_port = -1;
}

int BalanceServer::port() const
{
    return m_port;
}

void BalanceServer::setReplyMode(BalanceReplyMode mode)
{
    std::lock_guard lock(m_mutex);
    m_mode = mode;
}

BalanceReplyMode BalanceServer::replyMode() const
{
    std::lock_guard lock(m_mutex);
    return m_mode;
}

void BalanceServer::setAccount(const QString &number, const QString &name, const QString &balance)
{
    std::lock_guard lock(m_mutex);
    m_accounts.insert(number, {name, balance});
}

QStringList BalanceServer::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

void BalanceServer::clearMessages()
{
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

void BalanceServer::record(const QString &message)
{
    std::lock_guard lock(m_mutex);
    m_messages.append(message);
}

QString BalanceServer::replyTo(const QString &message) const
{
    QString number = message;
    if (message.startsWith(QString::fromLatin1(kQueryStart))) {
        const QString key = valueOf(message, QStringLiteral("key"));
        if (key.isEmpty() || key != balanceQueryKey(message))
            return QStringLiteral("密钥错误，查询被拒绝");
        number = valueOf(message, QStringLiteral("hm"));
    }
    std::lock_guard lock(m_mutex);
    const auto account = m_accounts.constFind(number);
    if (account == m_accounts.cend())
        return QStringLiteral("查询失败，没有此号码的资料");
    return QStringLiteral("成功|") + account->first + QLatin1Char('|') + account->second;
}

void BalanceServer::acceptLoop()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    while (!m_stopping) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            m_workers.emplace_back([this, fd] { serve(fd); });
    }
}

void BalanceServer::serve(int fd)
{
    QByteArray buffer;
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectionLifeMs);
    bool closing = false;
    while (!m_stopping && !closing && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        buffer.append(chunk, n);
        while (const qsizetype length = completeMessage(buffer)) {
            const QByteArray bytes = buffer.left(length);
            buffer.remove(0, length);
            record(fromGbk(bytes));
            if (bytes == kClose) {
                closing = true;
                break;
            }
            const BalanceReplyMode mode = replyMode();
            if (mode == BalanceReplyMode::Silent)
                continue;
            const QByteArray reply = toGbk(replyTo(fromGbk(bytes)));
            if (mode == BalanceReplyMode::Whole) {
                sendAll(fd, reply);
            } else {
                // Cut inside the reply, so that neither piece is a reply of its own.
                sendAll(fd, reply.left(3));
                std::this_thread::sleep_for(std::chrono::milliseconds(kPieceGapMs));
                sendAll(fd, reply.mid(3));
            }
        }
    }
    ::close(fd);
}

} // namespace sim
