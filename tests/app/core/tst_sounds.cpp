#include "app/core/digitspeaker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QtEndian>

namespace {

struct Played
{
    int id;
    qint64 atMs;
};

class RecordingSpeaker final : public DigitSpeaker
{
public:
    explicit RecordingSpeaker(QList<Played> *log) : m_log(log) { m_clock.start(); }
    void play(int resourceId) override { m_log->append({resourceId, m_clock.elapsed()}); }

private:
    QList<Played> *m_log;
    QElapsedTimer m_clock;
};

QList<int> ids(const QList<Played> &log)
{
    QList<int> out;
    for (const Played &p : log)
        out.append(p.id);
    return out;
}

// What a read-out sounds like, one entry per step: the start first, then each
// tick; 0 marks a step that speaks nothing.
using Steps = QList<int>;

} // namespace

class TestSounds : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void digitSoundId_data();
    void digitSoundId();
    void soundResourceMapping_data();
    void soundResourceMapping();
    void soundForTyping_data();
    void soundForTyping();

    void timerAtConstruction();
    void readOutOnePerTick_data();
    void readOutOnePerTick();
    void restartBeginsAgain();
    void readOutRunsOnTheEventLoop();

    void resourceIsShortPcmWave_data();
    void resourceIsShortPcmWave();

private:
    QList<Played> m_played;
};

void TestSounds::init()
{
    m_played.clear();
    DigitSpeaker::install(std::make_unique<RecordingSpeaker>(&m_played));
}

void TestSounds::cleanup()
{
    DigitSpeaker::install(nullptr);
}

void TestSounds::digitSoundId_data()
{
    QTest::addColumn<QChar>("c");
    QTest::addColumn<int>("expected"); // 0: no sound
    QTest::newRow("zero") << QChar(u'0') << 101;
    QTest::newRow("five") << QChar(u'5') << 106;
    QTest::newRow("nine") << QChar(u'9') << 110;
    QTest::newRow("letter") << QChar(u'a') << 0;
    QTest::newRow("dash") << QChar(u'-') << 0;
    QTest::newRow("space") << QChar(u' ') << 0;
    QTest::newRow("fullwidth one") << QChar(u'１') << 0;
    QTest::newRow("arabic-indic one") << QChar(u'\u0661') << 0;
}

void TestSounds::digitSoundId()
{
    QFETCH(QChar, c);
    QFETCH(int, expected);
    QCOMPARE(::digitSoundId(c).value_or(0), expected);
}

void TestSounds::soundResourceMapping_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("expected");
    QTest::newRow("101 is zero") << 101 << ":/sounds/0.wav";
    QTest::newRow("110 is nine") << 110 << ":/sounds/9.wav";
    QTest::newRow("100 none") << 100 << "";
    QTest::newRow("111 none") << 111 << "";
    QTest::newRow("0 none") << 0 << "";
}

void TestSounds::soundResourceMapping()
{
    QFETCH(int, id);
    QFETCH(QString, expected);
    QCOMPARE(soundResource(id), expected);
}

void TestSounds::soundForTyping_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("expected"); // 0: no sound
    QTest::newRow("first digit") << ""
                                 << "1" << 102;
    QTest::newRow("third digit") << "13"
                                 << "138" << 109;
    QTest::newRow("zero") << "13"
                          << "130" << 101;
    QTest::newRow("deleting") << "138"
                              << "13" << 0;
    QTest::newRow("unchanged") << "138"
                               << "138" << 0;
    QTest::newRow("replaced, same length") << "138"
                                           << "139" << 0;
    QTest::newRow("not numeric") << "1"
                                 << "1a" << 0;
    QTest::newRow("digit after a letter") << "a"
                                          << "a1" << 0;
    QTest::newRow("pasted number") << ""
                                   << "13800138000" << 101;
    QTest::newRow("emptied") << "1"
                             << "" << 0;
}

void TestSounds::soundForTyping()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, expected);
    QCOMPARE(::soundForTyping(before, after).value_or(0), expected);
}

void TestSounds::timerAtConstruction()
{
    NumberReadOut readOut;
    auto *timer = readOut.findChild<QTimer *>(QStringLiteral("声音播放时间"));
    QVERIFY(timer);
    QCOMPARE(timer, readOut.timer());
    QCOMPARE(timer->interval(), 600);
    QVERIFY(!timer->isActive());
}

void TestSounds::readOutOnePerTick_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<Steps>("steps");
    // The last tick speaks nothing and stops the timer.
    QTest::newRow("mobile number")
        << "13800138000" << Steps{102, 104, 109, 101, 101, 102, 104, 109, 101, 101, 101, 0};
    QTest::newRow("single digit") << "7" << Steps{108, 0};
    QTest::newRow("dash keeps its tick") << "13-5" << Steps{102, 104, 0, 106, 0};
    QTest::newRow("starts with a letter") << "a9" << Steps{0, 110, 0};
    QTest::newRow("empty") << "" << Steps{};
}

void TestSounds::readOutOnePerTick()
{
    QFETCH(QString, number);
    QFETCH(Steps, steps);

    NumberReadOut readOut;
    QTimer *timer = readOut.timer();
    readOut.start(number);
    QCOMPARE(readOut.position(), 1);

    Steps heard;
    qsizetype seen = 0;
    auto step = [&] {
        heard.append(m_played.size() > seen ? m_played.last().id : 0);
        QVERIFY2(m_played.size() - seen <= 1, "more than one sound in one step");
        seen = m_played.size();
    };
    if (!steps.isEmpty())
        step();
    // Bounded, so a read-out that never stops fails instead of hanging.
    for (int tick = 0; timer->isActive() && tick < 50; ++tick) {
        QMetaObject::invokeMethod(timer, "timeout");
        step();
    }
    QCOMPARE(heard, steps);
    QVERIFY(!timer->isActive());
    QCOMPARE(readOut.position(), std::max<int>(1, number.size()));
}

void TestSounds::restartBeginsAgain()
{
    NumberReadOut readOut;
    readOut.start(QStringLiteral("123"));
    QMetaObject::invokeMethod(readOut.timer(), "timeout");
    readOut.start(QStringLiteral("98"));
    QCOMPARE(readOut.position(), 1);
    QMetaObject::invokeMethod(readOut.timer(), "timeout");
    QMetaObject::invokeMethod(readOut.timer(), "timeout");
    QCOMPARE(ids(m_played), (QList<int>{102, 103, 110, 109}));
    QVERIFY(!readOut.isRunning());
}

void TestSounds::readOutRunsOnTheEventLoop()
{
    NumberReadOut readOut;
    readOut.start(QStringLiteral("105"));
    QTRY_VERIFY_WITH_TIMEOUT(!readOut.isRunning(), 10000);
    QCOMPARE(ids(m_played), (QList<int>{102, 101, 106}));
    // Only a loose lower bound: the digits must not run into each other.
    for (qsizetype i = 1; i < m_played.size(); ++i)
        QVERIFY2(
            m_played[i].atMs - m_played[i - 1].atMs >= 500,
            qPrintable(QStringLiteral("gap %1 ms").arg(m_played[i].atMs - m_played[i - 1].atMs)));
}

void TestSounds::resourceIsShortPcmWave_data()
{
    QTest::addColumn<int>("id");
    for (int id = 101; id <= 110; ++id)
        QTest::addRow("%d", id) << id;
}

void TestSounds::resourceIsShortPcmWave()
{
    QFETCH(int, id);
    QFile file(soundResource(id));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray wav = file.readAll();
    QVERIFY(wav.size() > 44);
    QCOMPARE(wav.first(4), QByteArray("RIFF"));
    QCOMPARE(wav.sliced(8, 4), QByteArray("WAVE"));

    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    qsizetype fmt = -1;
    quint32 dataSize = 0;
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const QByteArray tag = wav.sliced(at, 4);
        const quint32 size = u32(at + 4);
        if (tag == "fmt ")
            fmt = at + 8;
        else if (tag == "data")
            dataSize = size;
        at += 8 + size + (size & 1);
    }
    QVERIFY2(fmt > 0 && fmt + 16 <= wav.size(), "no fmt chunk");
    QCOMPARE(u16(fmt), quint16(1)); // PCM
    const quint16 channels = u16(fmt + 2);
    const quint32 rate = u32(fmt + 4);
    const quint32 byteRate = u32(fmt + 8);
    const quint16 bits = u16(fmt + 14);
    QCOMPARE(rate, quint32(22050));
    QVERIFY(channels == 1 || channels == 2);
    QVERIFY(bits == 8 || bits == 16);
    QCOMPARE(byteRate, rate * channels * bits / 8);
    QVERIFY2(dataSize > 0, "no samples");
    // A digit must be over before the next tick of a read-out.
    QVERIFY(dataSize < byteRate * 6 / 10);
}

QTEST_GUILESS_MAIN(TestSounds)
#include "tst_sounds.moc"
