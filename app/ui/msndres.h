#pragma once

#include "app/core/digitspeaker.h"

#include <QPointer>
#include <QSoundEffect>
#include <map>

// Plays the spoken digits embedded in the client. Each sound is loaded on its
// first use and kept, so a read-out does not reload a file every tick. The
// effects belong to the application object: a speaker still installed when
// the process ends must not touch the audio back-end after it is gone.
class MSndRes final : public DigitSpeaker
{
public:
    MSndRes();
    ~MSndRes() override;

    void play(int resourceId) override;

private:
    QSoundEffect *effect(int resourceId);

    std::map<int, QPointer<QSoundEffect>> m_effects;
    QPointer<QSoundEffect> m_playing;
};
