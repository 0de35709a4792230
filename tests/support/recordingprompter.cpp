#include "tests/support/recordingprompter.h"

#include <QStringList>

void RecordingPrompter::inform(const QString &title, const QString &text)
{
    messages.append({QStringLiteral("inform"), title, text});
    if (onMessage)
        onMessage(messages.last());
}

bool RecordingPrompter::ask(const QString &title, const QString &text)
{
    messages.append({QStringLiteral("ask"), title, text});
    if (onMessage)
        onMessage(messages.last());
    return answers.isEmpty() ? false : answers.takeFirst();
}

std::optional<QString> RecordingPrompter::input(const QString &title, const QString &prompt,
                                                const QString &)
{
    messages.append({QStringLiteral("input"), title, prompt});
    if (onMessage)
        onMessage(messages.last());
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
}

QStringList RecordingPrompter::texts() const
{
    QStringList out;
    for (const Message &m : messages)
        out << m.text;
    return out;
}

PrompterGuard::PrompterGuard()
{
    auto owned = std::make_unique<RecordingPrompter>();
    m_prompter = owned.get();
    m_previous = Prompter::install(std::move(owned));
}

PrompterGuard::~PrompterGuard()
{
    Prompter::install(std::move(m_previous));
}
