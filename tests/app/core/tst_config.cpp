// Reading client.ini, finding it, and the machine id's form.
#include "app/core/config.h"
#include "app/core/machineid.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryKey();
    void defaults();
    void refusals_data();
    void refusals();
    void orderServer_data();
    void orderServer();
    void location();
    void machineIdForm_data();
    void machineIdForm();

private:
    QString write(const QByteArray &text);
    QTemporaryDir m_dir;
};

QString TestConfig::write(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("client.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(text);
    return path;
}

void TestConfig::readsEveryKey()
{
    const QString file = write("[platform]\nbaseUrl=http://10.0.0.1:81/agent\n"
                               "[taobao]\nlogisticsUrl=http://t/wl/\nmemberUrl=http://t/m/\n"
                               "[paipai]\ntradeUrl=http://p/t/\nlogisticsUrl=http://p/wl/\n"
                               "[messenger]\nurl=http://ww/\ntitleForm={seller} : {buyer}\n"
                               "classChain=Bar, Box:3\n[numberInfo]\nurl=http://n:8088/\n"
                               "[balanceQuery]\nhost=bq\nport=9009\n[agentWebsite]\nurl=http://a/\n"
                               "[maker]\nofficialSite=http://o/\ndataPackagePage=http://o/d.html\n"
                               "[tools]\ncalculator=xcalc\n[orders]\ndatabase=db/data.mdb\n"
                               "[transfer]\ntimeoutSeconds=2.5\n");
    const ConfigResult r = loadClientConfig(file, QStringLiteral("/opt/app"));
    QVERIFY2(r.config, qPrintable(r.error));
    const ClientConfig &c = *r.config;
    QCOMPARE(c.platformBaseUrl, QStringLiteral("http://10.0.0.1:81/agent/")); // "/" added
    QCOMPARE(c.platformPage(QStringLiteral("down1.html?sj=")),
             QStringLiteral("http://10.0.0.1:81/agent/down1.html?sj="));
    QCOMPARE(c.taobaoLogisticsUrl, QStringLiteral("http://t/wl/"));
    QCOMPARE(c.taobaoMemberUrl, QStringLiteral("http://t/m/"));
    QCOMPARE(c.paipaiTradeUrl, QStringLiteral("http://p/t/"));
    QCOMPARE(c.paipaiLogisticsUrl, QStringLiteral("http://p/wl/"));
    QCOMPARE(c.messengerUrl, QStringLiteral("http://ww/"));
    QCOMPARE(c.messengerTitleForm, QStringLiteral("{seller} : {buyer}"));
    QCOMPARE(c.messengerClassChain, (QStringList{"Bar", "Box:3"}));
    QCOMPARE(c.numberInfoUrl, QStringLiteral("http://n:8088/"));
    QCOMPARE(c.balanceQueryHost, QStringLiteral("bq"));
    QCOMPARE(c.balanceQueryPort, 9009);
    QCOMPARE(c.agentWebsiteUrl, QStringLiteral("http://a/"));
    QCOMPARE(c.officialSiteUrl, QStringLiteral("http://o/"));
    QCOMPARE(c.dataPackageUrl, QStringLiteral("http://o/d.html"));
    QCOMPARE(c.calculatorProgram, QStringLiteral("xcalc"));
    // Relative to the INI file's folder.
    QCOMPARE(c.databasePath, QDir(m_dir.path()).absoluteFilePath(QStringLiteral("db/data.mdb")));
    QCOMPARE(c.transferTimeoutMs, 2500);
}

void TestConfig::defaults()
{
    const ConfigResult r = loadClientConfig(write("[platform]\nbaseUrl=https://p.example/a/\n"),
                                            QStringLiteral("/opt/app"));
    QVERIFY2(r.config, qPrintable(r.error));
    QCOMPARE(r.config->databasePath, QStringLiteral("/opt/app/data.mdb"));
    QCOMPARE(r.config->orders.driver, OrderDatabase::Driver::SQLite);
    QCOMPARE(r.config->orders.path, QStringLiteral("/opt/app/data.mdb"));
    QCOMPARE(r.config->orders.seat, QSysInfo::machineHostName());
    QCOMPARE(r.config->transferTimeoutMs, 60000);
    QCOMPARE(r.config->balanceQueryPort, 9009);
    QVERIFY(!r.config->calculatorProgram.isEmpty());
    QCOMPARE(r.config->messengerTitleForm, QStringLiteral("{buyer} - {seller}"));
    QCOMPARE(r.config->messengerClassChain,
             (QStringList{"SplitterBar", "StandardWindow:2", "RichEditComponent"}));
    // Written empty: the chat window takes the text itself.
    const ConfigResult empty = loadClientConfig(
        write("[platform]\nbaseUrl=https://p.example/a/\n[messenger]\nclassChain=\n"),
        QStringLiteral("/opt/app"));
    QVERIFY2(empty.config, qPrintable(empty.error));
    QVERIFY(empty.config->messengerClassChain.isEmpty());
}

void TestConfig::refusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("named"); // what the message must name besides the file

    QTest::newRow("no base URL") << QByteArray("[orders]\ndatabase=x\n") << "baseUrl";
    QTest::newRow("empty base URL") << QByteArray("[platform]\nbaseUrl=\n") << "baseUrl";
    QTest::newRow("not a web address") << QByteArray("[platform]\nbaseUrl=ftp://x/\n") << "baseUrl";
    QTest::newRow("bad port") << QByteArray(
                                     "[platform]\nbaseUrl=http://x/\n[balanceQuery]\nport=abc\n")
                              << "port";
    QTest::newRow("zero time-out")
        << QByteArray("[platform]\nbaseUrl=http://x/\n[transfer]\ntimeoutSeconds=0\n")
        << "timeoutSeconds";
    QTest::newRow("title without the buyer")
        << QByteArray("[platform]\nbaseUrl=http://x/\n[messenger]\ntitleForm={seller}\n")
        << "titleForm";
}

void TestConfig::refusals()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, named);
    const QString file = write(text);
    const ConfigResult r = loadClientConfig(file, m_dir.path());
    QVERIFY(!r.config);
    QVERIFY2(r.error.contains(QDir::toNativeSeparators(file)), qPrintable(r.error));
    QVERIFY2(r.error.contains(named), qPrintable(r.error));
}

void TestConfig::orderServer_data()
{
    QTest::addColumn<QByteArray>("orders"); // the [orders] lines
    QTest::addColumn<int>("permissions");   // of the password file; 0: no file
    QTest::addColumn<QString>("refusal");   // what the message names; empty: accepted

    const QByteArray server = "driver=postgresql\nhost=db.shop.lan\nport=6543\ndatabase=agent\n"
                              "user=seat\npasswordFile=pw\n";
    QTest::newRow("owner only") << server << 0600 << "";
    QTest::newRow("owner read only, seat named") << server + "seat=前台二\n" << 0400 << "";
    QTest::newRow("group can read") << server << 0640 << "chmod 600";
    QTest::newRow("others can read") << server << 0604 << "chmod 600";
    QTest::newRow("others can write") << server << 0602 << "chmod 600";
    QTest::newRow("no password file") << server << 0 << "pw";
    QTest::newRow("no password file named")
        << QByteArray("driver=postgresql\nhost=h\ndatabase=d\nuser=u\n") << 0 << "passwordFile";
    QTest::newRow("no host") << QByteArray(
                                    "driver=postgresql\ndatabase=d\nuser=u\npasswordFile=pw\n")
                             << 0600 << "host";
    QTest::newRow("bad port") << server + "port=0\n" << 0600 << "port";
    QTest::newRow("unknown driver") << QByteArray("driver=access\n") << 0 << "access";
}

void TestConfig::orderServer()
{
    QFETCH(QByteArray, orders);
    QFETCH(int, permissions);
    QFETCH(QString, refusal);
    const QString pw = m_dir.filePath(QStringLiteral("pw"));
    QFile::remove(pw);
    if (permissions) {
        QFile file(pw);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("s3cret \n");
        file.close();
        QVERIFY(QFile::setPermissions(
            pw, QFile::Permissions((permissions & 0400 ? QFile::ReadOwner : 0) |
                                   (permissions & 0200 ? QFile::WriteOwner : 0) |
                                   (permissions & 0040 ? QFile::ReadGroup : 0) |
                                   (permissions & 0004 ? QFile::ReadOther : 0) |
                                   (permissions & 0002 ? QFile::WriteOther : 0))));
    }
    const QString file = write("[platform]\nbaseUrl=http://x/\n[orders]\n" + orders);
    const ConfigResult r = loadClientConfig(file, m_dir.path());
    if (!refusal.isEmpty()) {
        QVERIFY(!r.config);
        QVERIFY2(r.error.contains(QDir::toNativeSeparators(file)), qPrintable(r.error));
        QVERIFY2(r.error.contains(refusal), qPrintable(r.error));
        return;
    }
    QVERIFY2(r.config, qPrintable(r.error));
    const OrderDatabase &d = r.config->orders;
    QCOMPARE(d.driver, OrderDatabase::Driver::PostgreSQL);
    QCOMPARE(d.server(), QStringLiteral("db.shop.lan:6543"));
    QCOMPARE(d.name, QStringLiteral("agent"));
    QCOMPARE(d.user, QStringLiteral("seat"));
    QCOMPARE(d.password, QStringLiteral("s3cret"));
    QCOMPARE(d.passwordFile, pw);
    QCOMPARE(d.seat,
             orders.contains("seat=") ? QStringLiteral("前台二") : QSysInfo::machineHostName());
}

void TestConfig::location()
{
    QTemporaryDir appDir, workDir;
    const QStringList noArgs{QStringLiteral("agent-client")};

    // Nothing anywhere: a message naming the file and the folders searched.
    ConfigLocation where = locateClientConfig(noArgs, appDir.path(), workDir.path());
    QVERIFY(where.file.isEmpty());
    QVERIFY(where.error.contains(QStringLiteral("client.ini")));
    QVERIFY(where.error.contains(QDir::toNativeSeparators(appDir.path())));

    // The working directory, then beside the executable first.
    QFile(workDir.filePath(QStringLiteral("client.ini"))).open(QIODevice::WriteOnly);
    where = locateClientConfig(noArgs, appDir.path(), workDir.path());
    QCOMPARE(where.file, workDir.filePath(QStringLiteral("client.ini")));
    QFile(appDir.filePath(QStringLiteral("client.ini"))).open(QIODevice::WriteOnly);
    where = locateClientConfig(noArgs, appDir.path(), workDir.path());
    QCOMPARE(where.file, appDir.filePath(QStringLiteral("client.ini")));

    // --config wins, even when the file does not exist (loading then says so).
    where = locateClientConfig(
        {QStringLiteral("agent-client"), QStringLiteral("--config"), QStringLiteral("other.ini")},
        appDir.path(), workDir.path());
    QCOMPARE(where.file, workDir.filePath(QStringLiteral("other.ini")));
    const ConfigResult missing = loadClientConfig(where.file, appDir.path());
    QVERIFY(!missing.config);
    QVERIFY(missing.error.contains(QStringLiteral("other.ini")));

    where = locateClientConfig({QStringLiteral("agent-client"), QStringLiteral("--config")},
                               appDir.path(), workDir.path());
    QVERIFY(where.file.isEmpty());
    QVERIFY(!where.error.isEmpty());

    // A folder where the file should be cannot be read.
    const ConfigResult unreadable = loadClientConfig(appDir.path(), appDir.path());
    QVERIFY(!unreadable.config);
    QVERIFY(unreadable.error.contains(QDir::toNativeSeparators(appDir.path())));
}

void TestConfig::machineIdForm_data()
{
    QTest::addColumn<quint32>("serial");
    QTest::addColumn<QString>("id");
    QTest::newRow("zero") << 0u << "0";
    QTest::newRow("no leading zeros") << 0x00AB12CDu << "AB12CD";
    QTest::newRow("top bit set") << 0xE8F0A7C2u << "E8F0A7C2";
    QTest::newRow("upper case") << 0x1a2b3c4du << "1A2B3C4D";
}

void TestConfig::machineIdForm()
{
    QFETCH(quint32, serial);
    QFETCH(QString, id);
    QCOMPARE(formatMachineId(serial), id);
    // The id of this machine is stable and in the same form.
    const QString here = computeMachineId();
    QCOMPARE(computeMachineId(), here);
    QVERIFY(
        QRegularExpression(QStringLiteral("^(0|[1-9A-F][0-9A-F]{0,7})$")).match(here).hasMatch());
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
