#pragma once

#include "app/core/prompter.h"

#include <QList>
#include <QString>
#include <functional>

// A Prompter that records every message and answers from a script, so GUI
// tests never block on a dialog. Unscripted questions are answered No.
class RecordingPrompter final : public Prompter
{
public:
    struct Message
    {
        QString kind; // "inform", "ask", "input"
        QString title;
        QString text;
    };

    void inform(const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultText) override;

    QList<Message> messages;
    QList<bool> answers;                        // for ask(), in order
    QList<std::optional<QString>> inputAnswers; // for input(), in order
    // Called as each message is shown, before it is answered: what the
    // client has done by the time the agent reads it.
    std::function<void(const Message &)> onMessage;

    QStringList texts() const;
};

// Installs a RecordingPrompter for the life of the guard and returns it.
class PrompterGuard
{
public:
    PrompterGuard();
    ~PrompterGuard();
    RecordingPrompter &operator*() const { return *m_prompter; }
    RecordingPrompter *operator->() const { return m_prompter; }

private:
    RecordingPrompter *m_prompter;
    std::unique_ptr<Prompter> m_previous;
};
