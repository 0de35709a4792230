#include "app/core/prompter.h"

namespace {

class SilentPrompter final : public Prompter
{
public:
    void inform(const QString &, const QString &) override {}
    bool ask(const QString &, const QString &) override { return false; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

std::unique_ptr<Prompter> &slot()
{
    static std::unique_ptr<Prompter> current = std::make_unique<SilentPrompter>();
    return current;
}

} // namespace

Prompter &Prompter::instance()
{
    return *slot();
}

std::unique_ptr<Prompter> Prompter::install(std::unique_ptr<Prompter> prompter)
{
    if (!prompter)
        prompter = std::make_unique<SilentPrompter>();
    std::swap(slot(), prompter);
    return prompter;
}
