#pragma once

#include "app/core/prompter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class Form1;
class Form2;
class QTimer;

// A start with nobody at the window, for test runs against the simulator
// (crash-and-restart runs, several seats on one store): the client logs in
// with the given account, unlocks with the transaction password, logs in to
// the shops with the given form posts and starts the monitors. It never runs
// unless --unattended is on the command line; every other option below is
// refused without it, so a normal start cannot be turned into one by a
// stray argument.
struct UnattendedOptions
{
    QString account;
    QString password;
    QString tradePassword;
    bool taobao = false;
    bool paipai = false;
    // "URL BODY": posted in this order through the client's network access,
    // so the shop's session cookie reaches the browsers and every request.
    QStringList shopLogins;
    QString workDir;
    // Timer intervals in ms; 0 keeps the client's own.
    int refreshMs = 0;  // timer淘宝刷新时间 and 拍拍刷新时间
    int deliveryMs = 0; // Timer淘宝拍拍发货
    int pollMs = 0;     // 验证
};

struct UnattendedArguments
{
    bool requested = false; // --unattended given
    bool help = false;      // --help given
    UnattendedOptions options;
    QString error; // the arguments cannot be used; the client must not start
};

// Reads the unattended options from the command line (the program name
// first). Arguments it does not know are left to others (--config FILE).
UnattendedArguments parseUnattendedArguments(const QStringList &arguments);
// The --help text.
QString clientUsage();

// Nobody is there to read a message box: messages go to stderr, questions
// are answered No and input boxes cancelled.
class UnattendedPrompter final : public Prompter
{
public:
    void inform(const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultText) override;
};

// Drives the login window and then the main window through the steps, as an
// agent would, and prints one line to stdout when the monitors are on
// ("unattended: running") or to stderr when a step fails (and then ends the
// client with exit code 3).
class UnattendedRun : public QObject
{
    Q_OBJECT
public:
    UnattendedRun(const UnattendedOptions &options, QObject *parent = nullptr);

    void start(Form1 *login);

private:
    void onLoggedIn(QWidget *mainWindow);
    void unlock();
    void shopLogins(int next);
    void startMonitors();
    void fail(const QString &why);

    UnattendedOptions m_options;
    QPointer<Form2> m_window;
    QTimer *m_wait = nullptr;
    int m_waited = 0;
};
