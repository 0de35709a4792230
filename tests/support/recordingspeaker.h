#pragma once

#include "app/core/digitspeaker.h"

#include <QList>

// A DigitSpeaker that plays nothing and notes the ids it was asked to play.
class RecordingSpeaker final : public DigitSpeaker
{
public:
    explicit RecordingSpeaker(QList<int> *log) : m_log(log) {}
    void play(int resourceId) override { m_log->append(resourceId); }

private:
    QList<int> *m_log;
};
