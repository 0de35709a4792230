#include "app/ui/msndres.h"

#include <QCoreApplication>
#include <QFile>
#include <QUrl>

MSndRes::MSndRes() = default;

MSndRes::~MSndRes()
{
    for (auto &entry : m_effects)
        delete entry.second.data();
}

void MSndRes::play(int resourceId)
{
    QSoundEffect *next = effect(resourceId);
    if (!next)
        return;
    // One digit at a time: the next one cuts off the one still speaking.
    if (m_playing)
        m_playing->stop();
    m_playing = next;
    // Without an audio device the effect ends in the Error status and plays
    // nothing, which is what the client wants: no sound and no message.
    next->play();
}

QSoundEffect *MSndRes::effect(int resourceId)
{
    // An effect is gone only when its application object was; make a new one.
    if (auto found = m_effects.find(resourceId); found != m_effects.end() && found->second)
        return found->second.data();
    const QString path = soundResource(resourceId);
    if (!QCoreApplication::instance() || path.isEmpty() || !QFile::exists(path))
        return nullptr;
    auto *created = new QSoundEffect(QCoreApplication::instance());
    created->setSource(QUrl(QStringLiteral("qrc") + path));
    m_effects.insert_or_assign(resourceId, created);
    return created;
}
