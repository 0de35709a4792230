// The client's own, persistent browser profile: what it keeps on disk. A
// test executable of its own, since the profile is made once per process and
// the other tests use one that keeps nothing.
#include "app/web/browser.h"
#include "app/web/webprofile.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineProfile>
#include <QtTest>

class TestWebProfile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void passwordAddressesStayOffTheDisk();

private:
    SimEnvironment m_env;
};

namespace {

// Files under the folder whose bytes hold the text.
QStringList filesHolding(const QString &folder, const QByteArray &text)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
            found << file.fileName();
    }
    return found;
}

} // namespace

void TestWebProfile::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
}

void TestWebProfile::passwordAddressesStayOffTheDisk()
{
    QWebEngineProfile *profile = WebProfile::instance().profile();
    QVERIFY(!profile->isOffTheRecord());
    QCOMPARE(profile->httpCacheType(), QWebEngineProfile::MemoryHttpCache);

    // The transaction password travels in the address, as the platform wants it.
    const QByteArray secret = "Zq7secretPw";
    Browser browser;
    QSignalSpy done(&browser, &Browser::documentComplete);
    browser.navigate(m_env.sim().platformUrl() + QStringLiteral("jymm.asp?sj=1&jymm=") +
                     QString::fromLatin1(secret));
    QVERIFY(done.wait(30000));
    QTest::qWait(1500); // the network service writes its cache a little later

    QCOMPARE(filesHolding(profile->cachePath(), secret), QStringList());
    QCOMPARE(filesHolding(profile->persistentStoragePath() + QStringLiteral("/Cache"), secret),
             QStringList());
}

int main(int argc, char *argv[])
{
    // A home of its own, so that nothing of the agent's profile is touched.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestWebProfile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webprofile.moc"
