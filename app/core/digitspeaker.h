#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QTimer;

// Every spoken digit goes through this hook, so tests see what was played and
// the client plays nothing until a real speaker is installed.
class DigitSpeaker
{
public:
    virtual ~DigitSpeaker();
    // Plays the embedded sound with this id (101 to 110); a new sound cuts off
    // the one playing. Unknown ids and failed playback are silent.
    virtual void play(int resourceId) = 0;

    // The speaker in use. Until one is installed, a silent one.
    static DigitSpeaker &instance();
    // Takes ownership; returns the previous one.
    static std::unique_ptr<DigitSpeaker> install(std::unique_ptr<DigitSpeaker> speaker);
};

// The Qt resource holding sound `id`: ":/sounds/<id - 101>.wav" for 101 to 110,
// empty for any other id.
QString soundResource(int id);

// 101 + d for the digit d, nothing for any other character.
std::optional<int> digitSoundId(QChar c);

// The sound for an edit of the number box: when the text grew and is all
// digits, the id of its last character; otherwise nothing.
std::optional<int> soundForTyping(const QString &before, const QString &after);

// Reads a number out digit by digit, one digit per tick of `声音播放时间`.
// A character that is not a digit gets its tick but no sound, so the digits
// around it keep their rhythm.
class NumberReadOut : public QObject
{
    Q_OBJECT
public:
    explicit NumberReadOut(QObject *parent = nullptr);

    // Speaks the first character now and the others on the following ticks.
    // An empty number speaks nothing and leaves the timer stopped.
    void start(const QString &number);
    // Stops a read-out in progress.
    void stop();

    bool isRunning() const;
    // 1-based index of the character spoken last; 0 before the first start.
    int position() const { return m_position; }
    QTimer *timer() const { return m_timer; }

private:
    void tick();
    void speakAt(int position);

    QTimer *m_timer;
    QString m_number;
    int m_position = 0;
};
