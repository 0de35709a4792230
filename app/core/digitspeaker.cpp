#include "app/core/digitspeaker.h"

#include <QTimer>
#include <algorithm>

namespace {

constexpr int firstSoundId = 101;
constexpr int lastSoundId = 110;
constexpr int readOutIntervalMs = 600;

class SilentSpeaker final : public DigitSpeaker
{
public:
    void play(int) override {}
};

std::unique_ptr<DigitSpeaker> &slot()
{
    static std::unique_ptr<DigitSpeaker> current = std::make_unique<SilentSpeaker>();
    return current;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

DigitSpeaker::~DigitSpeaker() = default;

DigitSpeaker &DigitSpeaker::instance()
{
    return *slot();
}

std::unique_ptr<DigitSpeaker> DigitSpeaker::install(std::unique_ptr<DigitSpeaker> speaker)
{
    if (!speaker)
        speaker = std::make_unique<SilentSpeaker>();
    std::swap(slot(), speaker);
    return speaker;
}

QString soundResource(int id)
{
    if (id < firstSoundId || id > lastSoundId)
        return {};
    return QStringLiteral(":/sounds/%1.wav").arg(id - firstSoundId);
}

std::optional<int> digitSoundId(QChar c)
{
    // Only ASCII digits have recordings; other Unicode digits stay silent.
    if (!isAsciiDigit(c))
        return std::nullopt;
    return firstSoundId + (c.unicode() - u'0');
}

std::optional<int> soundForTyping(const QString &before, const QString &after)
{
    if (after.size() <= before.size())
        return std::nullopt;
    if (!std::all_of(after.begin(), after.end(), isAsciiDigit))
        return std::nullopt;
    return digitSoundId(after.back());
}

NumberReadOut::NumberReadOut(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("声音播放时间"));
    m_timer->setInterval(readOutIntervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] { tick(); });
}

void NumberReadOut::start(const QString &number)
{
    m_number = number;
    m_position = 1;
    if (m_number.isEmpty()) {
        m_timer->stop();
        return;
    }
    speakAt(m_position);
    m_timer->start();
}

void NumberReadOut::stop()
{
    m_timer->stop();
}

bool NumberReadOut::isRunning() const
{
    return m_timer->isActive();
}

void NumberReadOut::tick()
{
    if (m_position < m_number.size()) {
        ++m_position;
        speakAt(m_position);
    } else {
        m_timer->stop();
    }
}

void NumberReadOut::speakAt(int position)
{
    if (const auto id = digitSoundId(m_number.at(position - 1)))
        DigitSpeaker::instance().play(*id);
}
