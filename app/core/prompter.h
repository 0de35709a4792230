#pragma once

#include <QString>
#include <memory>
#include <optional>

// Every message box, question and input box goes through this hook, so tests
// answer dialogs with scripted replies and never block on a modal window.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual void inform(const QString &title, const QString &text) = 0;
    virtual bool ask(const QString &title, const QString &text) = 0;
    virtual std::optional<QString> input(const QString &title, const QString &prompt,
                                         const QString &defaultText) = 0;

    // The prompter in use. Until one is installed, a silent one that answers No.
    static Prompter &instance();
    // Takes ownership; returns the previous one.
    static std::unique_ptr<Prompter> install(std::unique_ptr<Prompter> prompter);
};
