#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QDir;
class QSettings;

// Where the orders are kept: an SQLite file (one seat), or a PostgreSQL
// server that several seats of one agent share.
struct OrderDatabase
{
    enum class Driver
    {
        SQLite,
        PostgreSQL,
    };
    Driver driver = Driver::SQLite;
    QString path; // the SQLite file, absolute
    QString host;
    int port = 5432;
    QString name; // the database on the server
    QString user;
    QString password; // read from the password file
    QString passwordFile;
    // This seat's name, stored with every order it takes; the host name by default.
    QString seat;

    // "host:port", as messages name the server.
    QString server() const { return host + QLatin1Char(':') + QString::number(port); }
};

// The one-seat default: an SQLite file, the seat named after the host.
OrderDatabase sqliteOrderDatabase(const QString &path);

// Reads the [orders] group of an INI file (relative paths from base). Refuses
// a password file that others can read. Empty error when read.
QString readOrderDatabase(QSettings &ini, const QDir &base, const QString &appDir,
                          OrderDatabase &out);

// Every outside address the client talks to, read from client.ini. Nothing
// outside is a constant in code.
struct ClientConfig
{
    QString sourceFile;

    QString platformBaseUrl; // ends with "/"
    QString taobaoLogisticsUrl;
    QString taobaoMemberUrl;
    QString paipaiTradeUrl;
    QString paipaiLogisticsUrl;
    QString messengerUrl;
    // The buyer's chat window of the messenger program: its title, with
    // "{buyer}" and "{seller}" for the nicknames, and the classes from it down
    // to its input box ("Name" the first child of that class, "Name:n" the
    // n-th; none: the chat window takes the text itself).
    QString messengerTitleForm = QStringLiteral("{buyer} - {seller}");
    QStringList messengerClassChain = {QStringLiteral("SplitterBar"),
                                       QStringLiteral("StandardWindow:2"),
                                       QStringLiteral("RichEditComponent")};
    QString numberInfoUrl;
    QString balanceQueryHost;
    int balanceQueryPort = 9009;
    QString agentWebsiteUrl;
    QString officialSiteUrl;
    QString dataPackageUrl;
    QString calculatorProgram = QStringLiteral("gnome-calculator");

    QString databasePath; // absolute, the SQLite file
    OrderDatabase orders;
    int transferTimeoutMs = 60'000; // a Transfer gives up after this long

    // A platform page: the base URL + the page's relative path.
    QString platformPage(const QString &relative) const { return platformBaseUrl + relative; }
};

struct ConfigResult
{
    std::optional<ClientConfig> config;
    QString error; // names the file and the key
};

inline const QString kConfigFileName = QStringLiteral("client.ini");

// Reads one INI file. Relative paths in it are taken from the file's folder;
// the order database defaults to data.mdb in appDir.
ConfigResult loadClientConfig(const QString &file, const QString &appDir);

// The file to read: the one given with --config, else client.ini beside the
// executable, else in the working directory. Empty when none exists.
struct ConfigLocation
{
    QString file;
    QString error;
};
ConfigLocation locateClientConfig(const QStringList &arguments, const QString &appDir,
                                  const QString &workingDir);

// The configuration of this process, set once at start-up (and by tests).
const ClientConfig &currentConfig();
void setCurrentConfig(const ClientConfig &config);
