#pragma once

#include "app/core/prompter.h"

// The Prompter of the running client: message boxes and input dialogs.
class MessageBoxPrompter final : public Prompter
{
public:
    void inform(const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultText) override;
};
