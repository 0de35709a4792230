#include "app/ui/unattended.h"

#include "app/ui/form1.h"
#include "app/ui/form2.h"
#include "app/web/transfer.h"
#include "app/web/webprofile.h"
#include "recharge/statustracker.h"
#include "shop/agentsession.h"
#include "widgets/ibutton.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

namespace {

constexpr int kStepWaitMs = 200;
constexpr int kUnlockTimeoutMs = 60000;

bool readMs(const QString &text, int *ms)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 50 || value > 600000)
        return false;
    *ms = value;
    return true;
}

} // namespace

void UnattendedPrompter::inform(const QString &title, const QString &text)
{
    QTextStream(stderr) << "message: " << title << ": " << text << Qt::endl;
}

bool UnattendedPrompter::ask(const QString &title, const QString &text)
{
    QTextStream(stderr) << "question (answered No): " << title << ": " << text << Qt::endl;
    return false;
}

std::optional<QString> UnattendedPrompter::input(const QString &title, const QString &prompt,
                                                 const QString &)
{
    QTextStream(stderr) << "input (cancelled): " << title << ": " << prompt << Qt::endl;
    return std::nullopt;
}

QString clientUsage()
{
    return QStringLiteral(
        "usage: agent-client [--config FILE]\n"
        "  --config FILE            the configuration (default: client.ini beside the program,\n"
        "                           then in the working directory)\n"
        "  --help                   this text\n"
        "\n"
        "For test runs against the simulator only, never with real money:\n"
        "  --unattended             start with nobody at the window; required by every option\n"
        "                           below, which are refused without it\n"
        "  --account NAME           log in with this account ...\n"
        "  --password PW            ... and password\n"
        "  --trade-password PW      unlock the window with this transaction password\n"
        "  --monitor taobao|paipai  start this shop's monitor (may be given twice)\n"
        "  --shop-login 'URL BODY'  post BODY to URL before the monitors start, e.g. the shop's\n"
        "                           login form (may be given several times; posted in order)\n"
        "  --workdir DIR            work in DIR (zh.txt, 待反馈.txt; data.mdb as client.ini says)\n"
        "  --refresh-ms N           the shops' refresh interval\n"
        "  --delivery-ms N          the delivery step's interval\n"
        "  --poll-ms N              the status poll's interval\n"
        "Prints \"unattended: running\" once the monitors are on; messages go to stderr and\n"
        "every question is answered No. A step that fails ends the client with code 3.\n");
}

UnattendedArguments parseUnattendedArguments(const QStringList &arguments)
{
    UnattendedArguments out;
    UnattendedOptions &o = out.options;
    QStringList given; // unattended options seen, to refuse them without --unattended
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        const auto value = [&](QString *into) {
            given << arg;
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                out.error = QStringLiteral("%1 后面缺少值").arg(arg);
                return false;
            }
            *into = arguments.at(++i);
            return true;
        };
        QString text;
        if (arg == QLatin1String("--config")) {
            ++i; // the configuration's own reader checks it
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out.help = true;
        } else if (arg == QLatin1String("--unattended")) {
            out.requested = true;
        } else if (arg == QLatin1String("--account")) {
            if (!value(&o.account))
                return out;
        } else if (arg == QLatin1String("--password")) {
            if (!value(&o.password))
                return out;
        } else if (arg == QLatin1String("--trade-password")) {
            if (!value(&o.tradePassword))
                return out;
        } else if (arg == QLatin1String("--workdir")) {
            if (!value(&o.workDir))
                return out;
        } else if (arg == QLatin1String("--monitor")) {
            if (!value(&text))
                return out;
            if (text == QLatin1String("taobao")) {
                o.taobao = true;
            } else if (text == QLatin1String("paipai")) {
                o.paipai = true;
            } else {
                out.error = QStringLiteral("--monitor 只认 taobao 或 paipai：%1").arg(text);
                return out;
            }
        } else if (arg == QLatin1String("--shop-login")) {
            if (!value(&text))
                return out;
            if (text.indexOf(QLatin1Char(' ')) <= 0) {
                out.error = QStringLiteral("--shop-login 要的是 'URL BODY'：%1").arg(text);
                return out;
            }
            o.shopLogins << text;
        } else if (arg == QLatin1String("--refresh-ms") || arg == QLatin1String("--delivery-ms") ||
                   arg == QLatin1String("--poll-ms")) {
            if (!value(&text))
                return out;
            int *into = arg == QLatin1String("--refresh-ms")    ? &o.refreshMs
                        : arg == QLatin1String("--delivery-ms") ? &o.deliveryMs
                                                                : &o.pollMs;
            if (!readMs(text, into)) {
                out.error = QStringLiteral("%1 要 50 到 600000 毫秒：%2").arg(arg, text);
                return out;
            }
        }
        // Anything else is left to whoever reads it.
    }
    if (!out.requested && !given.isEmpty()) {
        out.error = QStringLiteral("%1 只能和 --unattended 一起用").arg(given.first());
        return out;
    }
    if (out.requested && (o.account.isEmpty() || o.password.isEmpty()))
        out.error = QStringLiteral("--unattended 要 --account 和 --password");
    else if (out.requested && (o.taobao || o.paipai) && o.tradePassword.isEmpty())
        out.error = QStringLiteral("--monitor 要 --trade-password：监控只在解锁后开启");
    return out;
}

UnattendedRun::UnattendedRun(const UnattendedOptions &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    m_wait = new QTimer(this);
    m_wait->setInterval(kStepWaitMs);
}

void UnattendedRun::start(Form1 *login)
{
    connect(login, &Form1::loggedIn, this, &UnattendedRun::onLoggedIn);
    auto *zh = login->findChild<QComboBox *>(QStringLiteral("zh"));
    auto *mm = login->findChild<QLineEdit *>(QStringLiteral("mm"));
    auto *button = login->findChild<iButton *>(QStringLiteral("iButton1"));
    if (!zh || !mm || !button) {
        fail(QStringLiteral("the login window has no zh, mm or iButton1"));
        return;
    }
    zh->setEditText(m_options.account);
    mm->setText(m_options.password);
    // A refused login leaves the login window open with its message on
    // stderr; the run gives up after the same wait as the unlock.
    QTimer::singleShot(kUnlockTimeoutMs, this, [this] {
        if (!m_window)
            fail(QStringLiteral("no login within %1 s").arg(kUnlockTimeoutMs / 1000));
    });
    emit button->Click();
}

void UnattendedRun::onLoggedIn(QWidget *mainWindow)
{
    m_window = qobject_cast<Form2 *>(mainWindow);
    if (!m_window) {
        fail(QStringLiteral("the login opened no main window"));
        return;
    }
    AgentSession *session = m_window->session();
    if (m_options.deliveryMs > 0)
        session->delivery().timer()->setInterval(m_options.deliveryMs);
    if (m_options.pollMs > 0)
        session->tracker().timer()->setInterval(m_options.pollMs);
    if (m_options.refreshMs > 0) {
        session->monitor().taobaoTimer()->setInterval(m_options.refreshMs);
        session->monitor().paipaiTimer()->setInterval(m_options.refreshMs);
    }
    if (m_options.tradePassword.isEmpty()) {
        shopLogins(0);
        return;
    }
    unlock();
}

void UnattendedRun::unlock()
{
    auto *text1 = m_window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *command1 = m_window->findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *frame4 = m_window->findChild<QGroupBox *>(QStringLiteral("Frame4"));
    if (!text1 || !command1 || !frame4) {
        fail(QStringLiteral("the main window has no Text1, Command1 or Frame4"));
        return;
    }
    text1->setText(m_options.tradePassword);
    command1->click();
    m_waited = 0;
    connect(m_wait, &QTimer::timeout, this, [this, frame4] {
        if (!m_window)
            return;
        if (frame4->isHidden()) {
            m_wait->stop();
            m_wait->disconnect(this);
            shopLogins(0);
            return;
        }
        m_waited += kStepWaitMs;
        if (m_waited >= kUnlockTimeoutMs) {
            m_wait->stop();
            fail(QStringLiteral("the transaction password did not unlock the window"));
        }
    });
    m_wait->start();
}

void UnattendedRun::shopLogins(int next)
{
    if (next >= m_options.shopLogins.size()) {
        startMonitors();
        return;
    }
    const QString line = m_options.shopLogins.at(next);
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    auto *transfer = new Transfer(WebProfile::instance().networkAccess(), this);
    connect(transfer, &Transfer::stateChanged, this, [this, transfer, next, line](int state) {
        transfer->deleteLater();
        if (state != Transfer::ResponseCompleted) {
            fail(QStringLiteral("shop login %1 failed: %2").arg(line, transfer->errorText()));
            return;
        }
        shopLogins(next + 1);
    });
    if (!transfer->execute(line.left(blank), QStringLiteral("POST"), line.mid(blank + 1),
                           kFormContentTypeHeader))
        fail(QStringLiteral("shop login %1 could not start").arg(line));
}

void UnattendedRun::startMonitors()
{
    if (!m_window)
        return;
    // The toolbar buttons, as the agent starts them.
    const auto press = [this](const char *name) {
        if (auto *button = m_window->findChild<iButton *>(QString::fromLatin1(name)))
            emit button->Click();
    };
    if (m_options.taobao)
        press("iButton2");
    if (m_options.paipai)
        press("iButton1");
    QTextStream(stdout) << "unattended: running" << Qt::endl;
}

void UnattendedRun::fail(const QString &why)
{
    QTextStream(stderr) << "unattended: " << why << Qt::endl;
    // Queued, so that a failure found before the event loop runs still ends it.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(3); }, Qt::QueuedConnection);
}
