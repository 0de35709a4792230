#include "sim/platformsim.h"
#include "sim/balanceserver.h"
#include "sim/pages.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <httplib.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <thread>

namespace sim {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// httplib hands a handler no socket, so a connection is found by its ports:
// the server side of it is bound to our port and connected to the client's.
// remotePort -1 takes every connection of the server.
void shutdownConnections(int localPort, int remotePort)
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    const int own = dirfd(dir);
    while (dirent *entry = readdir(dir)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (getsockname(int(fd), reinterpret_cast<sockaddr *>(&local), &length) != 0 ||
            local.sin_family != AF_INET || ntohs(local.sin_port) != localPort)
            continue;
        sockaddr_in peer{};
        length = sizeof peer;
        if (getpeername(int(fd), reinterpret_cast<sockaddr *>(&peer), &length) != 0)
            continue; // the listening socket
        if (remotePort >= 0 && ntohs(peer.sin_port) != remotePort)
            continue;
        shutdown(int(fd), SHUT_RDWR);
    }
    closedir(dir);
}

QString kindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::None:
        return QStringLiteral("none");
    case FaultKind::Delay:
        return QStringLiteral("delay");
    case FaultKind::Drop:
        return QStringLiteral("drop");
    case FaultKind::Error500:
        return QStringLiteral("500");
    case FaultKind::Garbage:
        return QStringLiteral("garbage");
    case FaultKind::Truncate:
        return QStringLiteral("truncate");
    case FaultKind::RunThenDrop:
        return QStringLiteral("rundrop");
    }
    return {};
}

std::optional<FaultKind> kindFromName(const QString &name)
{
    for (FaultKind k : {FaultKind::None, FaultKind::Delay, FaultKind::Drop, FaultKind::Error500,
                        FaultKind::Garbage, FaultKind::Truncate, FaultKind::RunThenDrop}) {
        if (kindName(k) == name)
            return k;
    }
    return std::nullopt;
}

// Headers httplib adds on its own; the client never sent them.
bool isServerHeader(const std::string &name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

QByteArray renderPage(const Page &page)
{
    if (page.bytes)
        return *page.bytes;
    if (page.useRaw)
        return toGbk(page.raw);
    return toGbk(QStringLiteral("<html><head><title>") + escapeHtml(page.title) +
                 QStringLiteral("</title></head><body>") + page.body +
                 QStringLiteral("</body></html>"));
}

void setJson(httplib::Response &res, int status, const QJsonDocument &doc)
{
    res.status = status;
    const QByteArray json = doc.toJson(QJsonDocument::Compact);
    res.set_content(json.constData(), size_t(json.size()), "application/json");
}

} // namespace

QStringList LoggedRequest::keys() const
{
    QStringList out;
    const auto addPairs = [&out](const QByteArray &text) {
        if (text.isEmpty())
            return;
        for (const QByteArray &pair : text.split('&')) {
            const qsizetype eq = pair.indexOf('=');
            out.append(QString::fromLatin1(eq < 0 ? pair : pair.left(eq)));
        }
    };
    const qsizetype query = target.indexOf(QLatin1Char('?'));
    if (query >= 0)
        addPairs(target.mid(query + 1).toLatin1());
    bool form = method == QLatin1String("POST");
    for (const auto &[name, value] : headers) {
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            form = value.startsWith("application/x-www-form-urlencoded");
    }
    if (form)
        addPairs(body);
    return out;
}

QString escapeHtml(const QString &text)
{
    return text.toHtmlEscaped();
}

QByteArray percentDecode(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '%' && i + 2 < text.size() && hexValue(text.at(i + 1)) >= 0 &&
            hexValue(text.at(i + 2)) >= 0) {
            out.append(char(hexValue(text.at(i + 1)) * 16 + hexValue(text.at(i + 2))));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

QString fromGbk(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

QByteArray toGbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QMultiMap<QString, QString> parseUrlEncoded(const QByteArray &text)
{
    QMultiMap<QString, QString> out;
    if (text.isEmpty())
        return out;
    // Inserted last to first, so that value() gives the first in the text.
    const QList<QByteArray> pairs = text.split('&');
    for (auto it = pairs.crbegin(); it != pairs.crend(); ++it) {
        if (it->isEmpty())
            continue;
        const qsizetype eq = it->indexOf('=');
        const QByteArray key = eq < 0 ? *it : it->left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : it->mid(eq + 1);
        out.insert(fromGbk(percentDecode(key)), fromGbk(percentDecode(value)));
    }
    return out;
}

QString Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return fromGbk(h.second);
    }
    return {};
}

Page Page::html(const QString &title, const QString &body)
{
    Page p;
    p.title = title;
    p.body = body;
    return p;
}

Page Page::text(const QString &text)
{
    Page p;
    p.raw = text;
    p.useRaw = true;
    p.contentType = "text/plain; charset=gbk";
    return p;
}

// ---- State ----

State::State()
    : m_versionTitle(QStringLiteral("1.5")), m_products(defaultProducts()), m_shops(Shops::demo()),
      m_goodsRows(defaultGoodsRows())
{}

void State::addAccount(const Account &a)
{
    m_accounts.insert(a.account, a);
}

Account *State::findAccount(const QString &name)
{
    auto it = m_accounts.find(name);
    return it == m_accounts.end() ? nullptr : &it.value();
}

const Account *State::findAccount(const QString &name) const
{
    auto it = m_accounts.constFind(name);
    return it == m_accounts.cend() ? nullptr : &it.value();
}

QString State::openSession(const QString &account)
{
    QString key;
    do {
        quint32 words[4];
        QRandomGenerator::system()->fillRange(words);
        key = QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
    } while (m_sessions.contains(key));
    m_sessions.insert(key, account);
    m_lastKeys.insert(account, key);
    return key;
}

bool State::isValidSession(const QString &key) const
{
    return !key.isEmpty() && m_sessions.contains(key);
}

Account *State::accountForSession(const QString &key)
{
    auto it = m_sessions.constFind(key);
    return it == m_sessions.cend() ? nullptr : findAccount(it.value());
}

QString State::lastSessionKey(const QString &account) const
{
    return m_lastKeys.value(account);
}

QString State::downloadUrl() const
{
    if (!m_downloadUrl.isEmpty())
        return m_downloadUrl;
    return m_rootUrl + QStringLiteral("download/agent-client");
}

// ---- PlatformSim ----

struct PlatformSim::Private
{
    PlatformSim *owner = nullptr;
    mutable std::recursive_mutex mutex; // handlers may call back into the public API
    State state;
    QHash<QString, Handler> pages;
    QList<LoggedRequest> log;
    QHash<QString, Fault> faults;
    QHash<QString, Fault> keyFaults;      // order key -> fault of its recharge requests
    QHash<QString, int> rechargeRequests; // order key -> recharge requests received
    QList<SeededOrder> seeded;

    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    BalanceServer balance;
    std::atomic<bool> stopping{false};
    int port = -1;

    void serve(const httplib::Request &req, httplib::Response &res, const QByteArray &body);
    void control(const QString &path, const httplib::Request &req, httplib::Response &res,
                 const QByteArray &body);
    // False when the server stopped during the wait.
    bool sleepFor(int ms) const;
};

bool PlatformSim::Private::sleepFor(int ms) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (stopping)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void PlatformSim::Private::serve(const httplib::Request &req, httplib::Response &res,
                                 const QByteArray &body)
{
    const QByteArray target = QByteArray::fromStdString(req.target);
    const qsizetype mark = target.indexOf('?');
    const QByteArray rawPath = mark < 0 ? target : target.left(mark);
    const QByteArray rawQuery = mark < 0 ? QByteArray() : target.mid(mark + 1);
    const QString path = fromGbk(percentDecode(rawPath));

    if (path.startsWith(QLatin1String("/__sim/"))) {
        control(path, req, res, body);
        return;
    }

    Request r;
    r.method = QString::fromStdString(req.method);
    r.path = path;
    r.target = QString::fromLatin1(target);
    r.body = body;
    for (const auto &[name, value] : req.headers) {
        if (!isServerHeader(name))
            r.headers.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
    }

    Fault fault;
    {
        std::lock_guard lock(mutex);
        log.append({r.method, r.target, r.headers, r.body});
        fault = faults.value(path);
        if (path == QLatin1String("/platform/productcz1.asp")) {
            const QString key = parseUrlEncoded(body).value(QStringLiteral("key"));
            ++rechargeRequests[key];
            if (keyFaults.contains(key))
                fault = keyFaults.value(key);
        }
    }

    // The log shows what the client sent; the answer stays uncompressed so
    // that its bytes are the page's. The request object itself is not const.
    const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");

    switch (fault.kind) {
    case FaultKind::Drop:
        shutdownConnections(req.local_port, req.remote_port);
        res.status = 200;
        return;
    case FaultKind::Error500: {
        res.status = 500;
        const QByteArray bytes = renderPage(Page::html(QStringLiteral("500 服务器内部错误"),
                                                       QStringLiteral("<h1>服务器内部错误</h1>")));
        res.set_content(bytes.constData(), size_t(bytes.size()), "text/html; charset=gbk");
        return;
    }
    case FaultKind::Garbage: {
        QByteArray bytes(256, Qt::Uninitialized);
        for (char &c : bytes) {
            do {
                c = char(QRandomGenerator::global()->bounded(256));
            } while (c == '<' || c == '>');
        }
        res.status = 200;
        res.set_content(bytes.constData(), size_t(bytes.size()), "text/html; charset=gbk");
        return;
    }
    case FaultKind::Delay:
        if (!sleepFor(fault.delayMs)) {
            res.status = 503;
            return;
        }
        break;
    case FaultKind::None:
    case FaultKind::Truncate:
    case FaultKind::RunThenDrop:
        break;
    }

    const bool isForm =
        req.method == "POST" &&
        r.header("Content-Type")
            .startsWith(QLatin1String("application/x-www-form-urlencoded"), Qt::CaseInsensitive);
    r.query = parseUrlEncoded(rawQuery);
    if (isForm)
        r.form = parseUrlEncoded(body);

    Page page;
    {
        std::lock_guard lock(mutex);
        const auto it = pages.constFind(path);
        if (it != pages.cend()) {
            page = it.value()(r, state);
        } else {
            page = Page::html(QStringLiteral("404 找不到网页"),
                              QStringLiteral("<h1>找不到网页</h1><p>") + escapeHtml(path) +
                                  QStringLiteral("</p>"));
            page.status = 404;
        }
    }

    if (fault.kind == FaultKind::RunThenDrop) {
        shutdownConnections(req.local_port, req.remote_port);
        res.status = 200;
        return;
    }

    const QByteArray bytes = renderPage(page);
    res.status = page.status;
    for (const auto &[name, value] : page.extraHeaders)
        res.headers.emplace(name.toStdString(), value.toStdString());
    const std::string contentType = page.contentType.toStdString();

    if (fault.kind == FaultKind::Truncate) {
        // Announce the whole page (or more), send half, then close.
        const size_t sent = size_t(bytes.size() / 2);
        const size_t announced = size_t(bytes.size()) > sent ? size_t(bytes.size()) : sent + 16;
        res.set_content_provider(announced, contentType,
                                 [bytes, sent](size_t, size_t, httplib::DataSink &sink) {
                                     if (sent > 0)
                                         sink.write(bytes.constData(), sent);
                                     return false;
                                 });
        return;
    }
    res.set_content(bytes.constData(), size_t(bytes.size()), contentType);
}

void PlatformSim::Private::control(const QString &path, const httplib::Request &req,
                                   httplib::Response &res, const QByteArray &body)
{
    if (path == QLatin1String("/__sim/requests") && req.method == "GET") {
        QJsonArray list;
        std::lock_guard lock(mutex);
        for (const LoggedRequest &r : log) {
            QJsonArray headers;
            for (const auto &[name, value] : r.headers) {
                headers.append(QJsonObject{{QStringLiteral("name"), QString::fromLatin1(name)},
                                           {QStringLiteral("value"), fromGbk(value)}});
            }
            list.append(QJsonObject{
                {QStringLiteral("method"), r.method},
                {QStringLiteral("target"), r.target},
                {QStringLiteral("headers"), headers},
                {QStringLiteral("body"), fromGbk(r.body)},
                {QStringLiteral("bodyBase64"), QString::fromLatin1(r.body.toBase64())},
            });
        }
        setJson(res, 200, QJsonDocument(list));
        return;
    }
    if (path == QLatin1String("/__sim/summary") && req.method == "GET") {
        // format=text: one line an order, blank-separated, for shell scripts.
        const bool text = req.get_param_value("format") == "text";
        const QByteArray out = text ? owner->summaryText() : owner->summaryJson();
        res.status = 200;
        res.set_content(out.constData(), size_t(out.size()),
                        text ? "text/plain; charset=utf-8" : "application/json");
        return;
    }
    if (path == QLatin1String("/__sim/reset") && req.method == "POST") {
        std::lock_guard lock(mutex);
        log.clear();
        faults.clear();
        setJson(res, 200, QJsonDocument(QJsonObject{{QStringLiteral("ok"), true}}));
        return;
    }
    if (path == QLatin1String("/__sim/faults") && req.method == "POST") {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
        const QJsonObject o = doc.object();
        const QString faultPath = o.value(QStringLiteral("path")).toString();
        const auto kind = kindFromName(o.value(QStringLiteral("kind")).toString());
        if (error.error != QJsonParseError::NoError || !doc.isObject() || faultPath.isEmpty() ||
            !kind) {
            setJson(res, 400,
                    QJsonDocument(QJsonObject{
                        {QStringLiteral("error"),
                         QStringLiteral("expected {\"path\":\"/x\",\"kind\":\"delay|drop|500|"
                                        "garbage|truncate|none\",\"delayMs\":N}")}}));
            return;
        }
        std::lock_guard lock(mutex);
        if (*kind == FaultKind::None)
            faults.remove(faultPath);
        else
            faults.insert(faultPath, Fault{*kind, o.value(QStringLiteral("delayMs")).toInt()});
        setJson(res, 200, QJsonDocument(QJsonObject{{QStringLiteral("ok"), true}}));
        return;
    }
    setJson(res, 404, QJsonDocument(QJsonObject{{QStringLiteral("error"), path}}));
}

PlatformSim::PlatformSim() : d(std::make_unique<Private>())
{
    d->owner = this;
    d->state.addAccount(demoAccount());
    addPlatformPages(*this);
    addUtilityPages(*this);
    addAccountPages(*this);
    addRegistrationPages(*this);
    addUpdatePages(*this);
    addCataloguePages(*this);
    addProductPages(*this);
    addMobinfoPages(*this);
    addRechargePages(*this);
    addShopPages(*this);
    addInventoryPages(*this);
    addToolPages(*this);
}

PlatformSim::~PlatformSim()
{
    stop();
}

int PlatformSim::start(int port)
{
    if (d->server)
        return d->port;
    if (port < 0 || port > 65535)
        return -1;

    auto server = std::make_unique<httplib::Server>();
    Private *p = d.get();
    // Idle keep-alive connections each hold a worker; the client, its
    // browsers and the tests open many.
    server->new_task_queue = [] { return new httplib::ThreadPool(32); };
    // httplib's default adds SO_REUSEPORT, which lets a second simulator share
    // a fixed port and take half the connections; a taken port must fail.
    server->set_socket_options([](int sock) {
        int on = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    server->Get(".*", [p](const httplib::Request &req, httplib::Response &res) {
        p->serve(req, res, QByteArray::fromStdString(req.body));
    });
    server->Post(".*", [p](const httplib::Request &req, httplib::Response &res) {
        p->serve(req, res, QByteArray::fromStdString(req.body));
    });
    // Reading the body ourselves keeps httplib from parsing (and size-limiting)
    // form bodies with its own decoding.
    server->Post(".*", [p](const httplib::Request &req, httplib::Response &res,
                           const httplib::ContentReader &reader) {
        std::string body;
        reader([&body](const char *data, size_t length) {
            body.append(data, length);
            return true;
        });
        p->serve(req, res, QByteArray::fromStdString(body));
    });

    int bound = -1;
    if (port == 0)
        bound = server->bind_to_any_port("127.0.0.1");
    else if (server->bind_to_port("127.0.0.1", port))
        bound = port;
    if (bound <= 0)
        return -1;

    {
        std::lock_guard lock(d->mutex);
        d->port = bound;
        d->state.setRootUrl(QStringLiteral("http://127.0.0.1:%1/").arg(bound));
    }
    d->stopping = false;
    httplib::Server *raw = server.get();
    d->server = std::move(server);
    d->thread = std::thread([raw] {
        // A client that hangs up would otherwise kill the process on the next
        // write; the workers inherit this mask.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        raw->listen_after_bind();
    });
    // stop() is a no-op until the server runs, so wait for it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!raw->is_running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!raw->is_running()) {
        d->thread.join();
        d->server.reset();
        std::lock_guard lock(d->mutex);
        d->port = -1;
        return -1;
    }
    if (d->balance.start() < 0) {
        stop();
        return -1;
    }
    return bound;
}

void PlatformSim::stop()
{
    if (!d->server)
        return;
    d->stopping = true;
    d->balance.stop();
    d->server->stop();
    // Workers wait on idle keep-alive connections for seconds; closing them
    // lets the pool join at once.
    shutdownConnections(port(), -1);
    d->thread.join();
    d->server.reset();
    std::lock_guard lock(d->mutex);
    d->port = -1;
}

bool PlatformSim::isRunning() const
{
    return d->server != nullptr;
}

int PlatformSim::port() const
{
    std::lock_guard lock(d->mutex);
    return d->port;
}

QString PlatformSim::rootUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(port());
}

QString PlatformSim::platformUrl() const
{
    return rootUrl() + QStringLiteral("platform/");
}

QString PlatformSim::configText() const
{
    QString text = QStringLiteral("[platform]\n"
                                  "baseUrl=@platform/\n"
                                  "[taobao]\n"
                                  "logisticsUrl=@taobao/wuliu/\n"
                                  "memberUrl=@taobao/member/\n"
                                  "[paipai]\n"
                                  "tradeUrl=@paipai/trade/\n"
                                  "logisticsUrl=@paipai/wuliu/\n"
                                  "[messenger]\n"
                                  "url=@wangwang/\n"
                                  "titleForm={buyer} - {seller}\n"
                                  "classChain=\n"
                                  "[numberInfo]\n"
                                  "url=@numinfo/\n"
                                  "[balanceQuery]\n"
                                  "host=127.0.0.1\n"
                                  "port=%1\n"
                                  "[agentWebsite]\n"
                                  "url=@agentsite/\n"
                                  "[maker]\n"
                                  "officialSite=@official/\n"
                                  "dataPackagePage=@official/datapackage.html\n"
                                  "[orders]\n"
                                  "database=data.mdb\n"
                                  "[transfer]\n"
                                  "timeoutSeconds=60\n")
                       .arg(balancePort());
    return text.replace(QLatin1Char('@'), rootUrl());
}

BalanceServer &PlatformSim::balanceServer()
{
    return d->balance;
}

int PlatformSim::balancePort() const
{
    return d->balance.port();
}

bool PlatformSim::writeConfig(const QString &file, QString *error) const
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(configText().toUtf8()) < 0 || !out.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

void PlatformSim::addPage(const QString &path, Handler h)
{
    std::lock_guard lock(d->mutex);
    d->pages.insert(path, std::move(h));
}

QList<LoggedRequest> PlatformSim::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->log;
}

void PlatformSim::clearRequests()
{
    std::lock_guard lock(d->mutex);
    d->log.clear();
}

void PlatformSim::setFault(const QString &path, Fault f)
{
    std::lock_guard lock(d->mutex);
    if (f.kind == FaultKind::None)
        d->faults.remove(path);
    else
        d->faults.insert(path, f);
}

void PlatformSim::clearFaults()
{
    std::lock_guard lock(d->mutex);
    d->faults.clear();
}

void PlatformSim::addAccount(const Account &a)
{
    std::lock_guard lock(d->mutex);
    d->state.addAccount(a);
}

std::optional<Account> PlatformSim::account(const QString &name) const
{
    std::lock_guard lock(d->mutex);
    if (const Account *a = d->state.findAccount(name))
        return *a;
    return std::nullopt;
}

QString PlatformSim::lastSessionKey(const QString &account) const
{
    std::lock_guard lock(d->mutex);
    return d->state.lastSessionKey(account);
}

bool PlatformSim::isValidSession(const QString &key) const
{
    std::lock_guard lock(d->mutex);
    return d->state.isValidSession(key);
}

void PlatformSim::setVersionTitle(const QString &title)
{
    std::lock_guard lock(d->mutex);
    d->state.setVersionTitle(title);
}

void PlatformSim::setDownloadUrl(const QString &url)
{
    std::lock_guard lock(d->mutex);
    d->state.setDownloadUrl(url);
}

QList<Product> PlatformSim::products() const
{
    std::lock_guard lock(d->mutex);
    return d->state.products();
}

void PlatformSim::setProducts(const QList<Product> &products)
{
    std::lock_guard lock(d->mutex);
    d->state.setProducts(products);
}

int PlatformSim::rechargeCount(const QString &key) const
{
    std::lock_guard lock(d->mutex);
    return d->state.rechargeCount(key);
}

int PlatformSim::rechargeRequestsFor(const QString &key) const
{
    std::lock_guard lock(d->mutex);
    int count = 0;
    for (const LoggedRequest &r : d->log) {
        const qsizetype mark = r.target.indexOf(QLatin1Char('?'));
        const QString path = fromGbk(percentDecode(r.target.left(mark).toLatin1()));
        if (path == QLatin1String("/platform/productcz1.asp") &&
            parseUrlEncoded(r.body).values(QStringLiteral("key")).contains(key))
            ++count;
    }
    return count;
}

void PlatformSim::setKeyFault(const QString &key, Fault f)
{
    std::lock_guard lock(d->mutex);
    if (f.kind == FaultKind::None)
        d->keyFaults.remove(key);
    else
        d->keyFaults.insert(key, f);
}

int PlatformSim::rechargeRequestTotal(const QString &key) const
{
    std::lock_guard lock(d->mutex);
    return d->rechargeRequests.value(key);
}

QList<SeededOrder> PlatformSim::seedShopOrders(int n, quint32 seed)
{
    struct Item
    {
        const char *title;
        const char *quantity;
        bool card;
    };
    // Titles and quantities the default catalogue matches.
    static const Item taobaoItems[] = {
        {"移动话费充值 1元 自动充值 秒到账", "50", false},
        {"网易一卡通 1点 自动发卡", "30", true},
        {"魔兽世界点卡 1点 自动发卡", "30", true},
        {"腾讯Q币 1个 QQ自动充值", "10", false},
    };
    static const Item paipaiItems[] = {
        {"腾讯Q币 1个 QQ自动充值", "10", false},
        {"魔兽世界点卡 1点 自动发卡", "30", true},
        {"网易一卡通 1点 自动发卡", "15", true},
    };
    QRandomGenerator random(seed);
    std::lock_guard lock(d->mutex);
    Shops &shops = d->state.shops();
    shops = Shops();
    d->seeded.clear();
    d->keyFaults.clear();
    if (Account *demo = d->state.findAccount(demoAccount().account))
        demo->balance = QStringLiteral("10000000.00");
    for (int i = 1; i <= n; ++i) {
        SeededOrder o;
        const bool taobao = random.bounded(100) < 60;
        const QString serial = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        if (taobao) {
            const Item &item = taobaoItems[random.bounded(int(std::size(taobaoItems)))];
            TaobaoOrder t;
            t.orderId = QStringLiteral("7") + serial;
            t.orderNo = QStringLiteral("TB") + serial;
            t.title = QString::fromUtf8(item.title);
            t.quantity = QString::fromLatin1(item.quantity);
            t.buyer = QStringLiteral("tb_buyer") + serial;
            t.account = item.card ? QStringLiteral("player") + serial
                                  : QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
            t.form = item.card ? TaobaoAccountForm::UserName : TaobaoAccountForm::Phone;
            shops.addTaobaoOrder(t);
            o = {QStringLiteral("taobao"), t.orderNo, t.orderId, t.title, item.card, {}};
        } else {
            const Item &item = paipaiItems[random.bounded(int(std::size(paipaiItems)))];
            PaipaiDeal p;
            p.dealId = QStringLiteral("10001-20110315-9") + serial;
            p.buyerUin = QStringLiteral("2%1").arg(i, 7, 10, QLatin1Char('0'));
            p.itemName = QString::fromUtf8(item.title);
            p.itemCount = QString::fromLatin1(item.quantity);
            p.postscript =
                item.card ? QStringLiteral("gamer") + serial : QStringLiteral("%1").arg(100000 + i);
            shops.addPaipaiDeal(p);
            o = {QStringLiteral("paipai"), p.dealId, p.dealId, p.itemName, item.card, {}};
        }
        // A few misbehave: their answer comes late, or never.
        const int roll = int(random.bounded(100));
        if (roll < 4) {
            o.fault = QStringLiteral("delay");
            d->keyFaults.insert(o.orderNo, Fault{FaultKind::Delay, 3000});
        } else if (roll < 6) {
            o.fault = QStringLiteral("drop");
            d->keyFaults.insert(o.orderNo, Fault{FaultKind::Drop, 0});
        } else if (roll < 8) {
            o.fault = QStringLiteral("rundrop");
            d->keyFaults.insert(o.orderNo, Fault{FaultKind::RunThenDrop, 0});
        }
        d->seeded.append(o);
    }
    return d->seeded;
}

QList<SeededOrder> PlatformSim::seededOrders() const
{
    std::lock_guard lock(d->mutex);
    return d->seeded;
}

QByteArray PlatformSim::summaryJson() const
{
    std::lock_guard lock(d->mutex);
    const Shops &shops = d->state.shops();
    QJsonArray orders;
    for (const SeededOrder &o : d->seeded) {
        int status = -1; // never recharged
        int recharges = 0;
        for (const RechargeRecord &r : d->state.recharges()) {
            if (r.key == o.orderNo) {
                ++recharges;
                status = r.status;
            }
        }
        const bool taobao = o.shop == QLatin1String("taobao");
        orders.append(QJsonObject{
            {QStringLiteral("shop"), o.shop},
            {QStringLiteral("orderNo"), o.orderNo},
            {QStringLiteral("shipId"), o.shipId},
            {QStringLiteral("card"), o.card},
            {QStringLiteral("fault"), o.fault},
            {QStringLiteral("requests"), d->rechargeRequests.value(o.orderNo)},
            {QStringLiteral("recharges"), recharges},
            {QStringLiteral("status"), status},
            {QStringLiteral("shipped"),
             taobao ? shops.taobaoConsigns.value(o.shipId) : shops.paipaiMarks.value(o.shipId)},
        });
    }
    return QJsonDocument(
               QJsonObject{
                   {QStringLiteral("orders"), orders},
                   {QStringLiteral("taobaoWaiting"), int(shops.waitingTaobaoOrders().size())},
                   {QStringLiteral("paipaiWaiting"), int(shops.waitingPaipaiDeals().size())},
               })
        .toJson(QJsonDocument::Compact);
}

QByteArray PlatformSim::summaryText() const
{
    const QJsonObject summary = QJsonDocument::fromJson(summaryJson()).object();
    QByteArray out;
    for (const QJsonValue &v : summary.value(QStringLiteral("orders")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString fault = o.value(QStringLiteral("fault")).toString();
        out += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                   .arg(o.value(QStringLiteral("orderNo")).toString(),
                        o.value(QStringLiteral("shipId")).toString(),
                        o.value(QStringLiteral("shop")).toString(),
                        o.value(QStringLiteral("card")).toBool() ? QStringLiteral("card")
                                                                 : QStringLiteral("credit"),
                        fault.isEmpty() ? QStringLiteral("-") : fault)
                   .arg(o.value(QStringLiteral("requests")).toInt())
                   .arg(o.value(QStringLiteral("recharges")).toInt())
                   .arg(o.value(QStringLiteral("status")).toInt())
                   .arg(o.value(QStringLiteral("shipped")).toInt())
                   .toUtf8();
    }
    return out;
}

void PlatformSim::dropConnections()
{
    if (d->server)
        shutdownConnections(port(), -1);
}

QList<RechargeRecord> PlatformSim::recharges() const
{
    std::lock_guard lock(d->mutex);
    return d->state.recharges();
}

void PlatformSim::setGoodsRows(const QList<GoodsListRow> &rows)
{
    std::lock_guard lock(d->mutex);
    d->state.setGoodsRows(rows);
}

QList<StoredCardCode> PlatformSim::storedCardCodes() const
{
    std::lock_guard lock(d->mutex);
    return d->state.storedCardCodes();
}

void PlatformSim::setRechargeFinish(int polls, bool succeeds)
{
    std::lock_guard lock(d->mutex);
    d->state.setRechargeFinish(polls, succeeds);
}

void PlatformSim::addTaobaoOrder(const TaobaoOrder &order)
{
    std::lock_guard lock(d->mutex);
    d->state.shops().addTaobaoOrder(order);
}

QList<TaobaoOrder> PlatformSim::taobaoOrders() const
{
    std::lock_guard lock(d->mutex);
    return d->state.shops().waitingTaobaoOrders();
}

QList<QPair<QString, QString>> PlatformSim::messengerDispatches() const
{
    std::lock_guard lock(d->mutex);
    return d->state.shops().messengerDispatches;
}

int PlatformSim::taobaoConsignCount(const QString &orderId) const
{
    std::lock_guard lock(d->mutex);
    return d->state.shops().taobaoConsigns.value(orderId);
}

void PlatformSim::expireTaobaoSession()
{
    std::lock_guard lock(d->mutex);
    d->state.shops().taobaoSessions.clear();
}

QString PlatformSim::taobaoNick() const
{
    return taobaoSellerNick();
}

void PlatformSim::addPaipaiDeal(const PaipaiDeal &deal)
{
    std::lock_guard lock(d->mutex);
    d->state.shops().addPaipaiDeal(deal);
}

QList<PaipaiDeal> PlatformSim::paipaiDeals() const
{
    std::lock_guard lock(d->mutex);
    return d->state.shops().waitingPaipaiDeals();
}

int PlatformSim::paipaiMarkCount(const QString &dealId) const
{
    std::lock_guard lock(d->mutex);
    return d->state.shops().paipaiMarks.value(dealId);
}

QString PlatformSim::paipaiMarkedCardCode(const QString &dealId) const
{
    std::lock_guard lock(d->mutex);
    return d->state.shops().paipaiCardCodes.value(dealId);
}

void PlatformSim::expirePaipaiSession()
{
    std::lock_guard lock(d->mutex);
    d->state.shops().paipaiSessions.clear();
}

void PlatformSim::clearShops()
{
    std::lock_guard lock(d->mutex);
    d->state.shops() = Shops();
}

void PlatformSim::withState(const std::function<void(State &)> &f)
{
    std::lock_guard lock(d->mutex);
    f(d->state);
}

Account PlatformSim::demoAccount()
{
    Account a;
    a.account = QStringLiteral("demo");
    a.password = QStringLiteral("demo123");
    a.tradePassword = QStringLiteral("888888");
    a.balance = QStringLiteral("1000.00");
    a.frozenFunds = QStringLiteral("0.00");
    a.bonusCommission = QStringLiteral("12.50");
    a.salesCommission = QStringLiteral("30.00");
    a.level = QStringLiteral("1");
    a.userId = QStringLiteral("10086");
    a.userName = QStringLiteral("演示代理商");
    return a;
}

QString PlatformSim::bigText(int n)
{
    static const QString pattern = QStringLiteral("Agent充值0123话费abc游戏点卡XYZ，测试。");
    QString out;
    out.reserve(qMax(n, 0));
    for (int i = 0; i < n; ++i)
        out.append(pattern.at(i % pattern.size()));
    return out;
}

} // namespace sim
