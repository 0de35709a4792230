#include "app/core/config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>
#include <QUrl>

namespace {

ClientConfig &storage()
{
    static ClientConfig config;
    return config;
}

QString resolvedPath(const QString &value, const QDir &base)
{
    if (value.isEmpty())
        return value;
    return QDir::cleanPath(base.absoluteFilePath(value));
}

} // namespace

ConfigResult loadClientConfig(const QString &file, const QString &appDir)
{
    ConfigResult result;
    const QFileInfo info(file);
    if (!info.exists()) {
        result.error = QStringLiteral("找不到配置文件 %1").arg(QDir::toNativeSeparators(file));
        return result;
    }
    if (!info.isFile() || !info.isReadable()) {
        result.error = QStringLiteral("无法读取配置文件 %1").arg(QDir::toNativeSeparators(file));
        return result;
    }

    QSettings ini(info.absoluteFilePath(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        result.error = QStringLiteral("配置文件 %1 格式错误").arg(QDir::toNativeSeparators(file));
        return result;
    }

    auto text = [&ini](const char *key) {
        return ini.value(QLatin1String(key)).toString().trimmed();
    };

    ClientConfig c;
    c.sourceFile = info.absoluteFilePath();

    c.platformBaseUrl = text("platform/baseUrl");
    const QUrl base(c.platformBaseUrl);
    if (c.platformBaseUrl.isEmpty() || !base.isValid() ||
        (base.scheme() != QLatin1String("http") && base.scheme() != QLatin1String("https")) ||
        base.host().isEmpty()) {
        result.error = QStringLiteral("配置文件 %1 缺少有效的平台地址：[platform] baseUrl")
                           .arg(QDir::toNativeSeparators(file));
        return result;
    }
    if (!c.platformBaseUrl.endsWith(QLatin1Char('/')))
        c.platformBaseUrl += QLatin1Char('/');

    c.taobaoLogisticsUrl = text("taobao/logisticsUrl");
    c.taobaoMemberUrl = text("taobao/memberUrl");
    c.paipaiTradeUrl = text("paipai/tradeUrl");
    c.paipaiLogisticsUrl = text("paipai/logisticsUrl");
    c.messengerUrl = text("messenger/url");
    if (ini.contains(QStringLiteral("messenger/titleForm"))) {
        c.messengerTitleForm = ini.value(QStringLiteral("messenger/titleForm")).toString();
        if (!c.messengerTitleForm.contains(QLatin1String("{buyer}"))) {
            result.error = QStringLiteral("配置文件 %1 的 [messenger] titleForm 必须含有 {buyer}")
                               .arg(QDir::toNativeSeparators(file));
            return result;
        }
    }
    if (ini.contains(QStringLiteral("messenger/classChain"))) {
        // QSettings gives a list for a value with commas, a text otherwise.
        const QVariant value = ini.value(QStringLiteral("messenger/classChain"));
        const QStringList items = value.typeId() == QMetaType::QStringList
                                      ? value.toStringList()
                                      : value.toString().split(QLatin1Char(','));
        c.messengerClassChain.clear();
        for (const QString &item : items) {
            if (!item.trimmed().isEmpty())
                c.messengerClassChain.append(item.trimmed());
        }
    }
    c.numberInfoUrl = text("numberInfo/url");
    c.balanceQueryHost = text("balanceQuery/host");
    c.agentWebsiteUrl = text("agentWebsite/url");
    c.officialSiteUrl = text("maker/officialSite");
    c.dataPackageUrl = text("maker/dataPackagePage");
    if (const QString calc = text("tools/calculator"); !calc.isEmpty())
        c.calculatorProgram = calc;

    bool ok = true;
    if (ini.contains(QStringLiteral("balanceQuery/port"))) {
        const int port = ini.value(QStringLiteral("balanceQuery/port")).toInt(&ok);
        if (!ok || port <= 0 || port > 65535) {
            result.error = QStringLiteral("配置文件 %1 的 [balanceQuery] port 不是有效端口")
                               .arg(QDir::toNativeSeparators(file));
            return result;
        }
        c.balanceQueryPort = port;
    }
    if (ini.contains(QStringLiteral("transfer/timeoutSeconds"))) {
        const double seconds = ini.value(QStringLiteral("transfer/timeoutSeconds")).toDouble(&ok);
        if (!ok || seconds <= 0) {
            result.error = QStringLiteral("配置文件 %1 的 [transfer] timeoutSeconds 必须是正数")
                               .arg(QDir::toNativeSeparators(file));
            return result;
        }
        c.transferTimeoutMs = static_cast<int>(seconds * 1000);
    }

    if (const QString error = readOrderDatabase(ini, info.absoluteDir(), appDir, c.orders);
        !error.isEmpty()) {
        result.error = QStringLiteral("配置文件 %1 的 [orders]：%2")
                           .arg(QDir::toNativeSeparators(file), error);
        return result;
    }
    c.databasePath = c.orders.path;

    result.config = c;
    return result;
}

OrderDatabase sqliteOrderDatabase(const QString &path)
{
    OrderDatabase d;
    d.path = path;
    d.seat = QSysInfo::machineHostName();
    return d;
}

QString readOrderDatabase(QSettings &ini, const QDir &base, const QString &appDir,
                          OrderDatabase &out)
{
    auto text = [&ini](const char *key) {
        return ini.value(QLatin1String("orders/") + QLatin1String(key)).toString().trimmed();
    };
    OrderDatabase d;
    const QString file = text("database");
    d.seat = text("seat");
    if (d.seat.isEmpty())
        d.seat = QSysInfo::machineHostName();
    const QString driver = text("driver").toLower();
    if (driver.isEmpty() || driver == QLatin1String("sqlite")) {
        d.path = file.isEmpty() ? QDir(appDir).absoluteFilePath(QStringLiteral("data.mdb"))
                                : resolvedPath(file, base);
        out = d;
        return {};
    }
    if (driver != QLatin1String("postgresql"))
        return QStringLiteral("driver 只能是 sqlite 或 postgresql，不是“%1”").arg(driver);

    d.driver = OrderDatabase::Driver::PostgreSQL;
    d.host = text("host");
    d.name = file;
    d.user = text("user");
    if (d.host.isEmpty() || d.name.isEmpty() || d.user.isEmpty())
        return QStringLiteral("PostgreSQL 需要 host、database 和 user");
    if (ini.contains(QStringLiteral("orders/port"))) {
        bool ok = false;
        d.port = ini.value(QStringLiteral("orders/port")).toInt(&ok);
        if (!ok || d.port <= 0 || d.port > 65535)
            return QStringLiteral("port 不是有效端口");
    }
    d.passwordFile = resolvedPath(text("passwordFile"), base);
    if (d.passwordFile.isEmpty())
        return QStringLiteral("PostgreSQL 需要 passwordFile（存放密码的文件）");
    const QFileInfo info(d.passwordFile);
    if (!info.isFile())
        return QStringLiteral("找不到密码文件 %1").arg(QDir::toNativeSeparators(d.passwordFile));
    // A password others can read is a password others have.
    constexpr QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (info.permissions() & others)
        return QStringLiteral("密码文件 %1 别人也能读取，请只让它的所有者读写（chmod 600 %1）")
            .arg(QDir::toNativeSeparators(d.passwordFile));
    QFile f(d.passwordFile);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取密码文件 %1").arg(QDir::toNativeSeparators(d.passwordFile));
    d.password = QString::fromUtf8(f.readLine()).trimmed();
    out = d;
    return {};
}

ConfigLocation locateClientConfig(const QStringList &arguments, const QString &appDir,
                                  const QString &workingDir)
{
    ConfigLocation where;
    const qsizetype at = arguments.indexOf(QStringLiteral("--config"));
    if (at >= 0) {
        if (at + 1 >= arguments.size()) {
            where.error = QStringLiteral("--config 后面缺少配置文件名");
            return where;
        }
        where.file = QDir(workingDir).absoluteFilePath(arguments.at(at + 1));
        return where;
    }
    for (const QString &dir : {appDir, workingDir}) {
        const QString candidate = QDir(dir).absoluteFilePath(kConfigFileName);
        if (QFileInfo::exists(candidate)) {
            where.file = candidate;
            return where;
        }
    }
    where.error = QStringLiteral("找不到配置文件 %1（已查找 %2 和 %3）")
                      .arg(kConfigFileName, QDir::toNativeSeparators(appDir),
                           QDir::toNativeSeparators(workingDir));
    return where;
}

const ClientConfig &currentConfig()
{
    return storage();
}

void setCurrentConfig(const ClientConfig &config)
{
    storage() = config;
}
