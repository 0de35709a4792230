#include "app/ui/form1.h"

#include "app/core/config.h"
#include "app/core/gbk.h"
#include "app/core/machineid.h"
#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/core/textfile.h"
#include "app/ui/form14.h"
#include "app/ui/form2.h"
#include "app/ui/form3.h"
#include "app/ui/sessionfactory.h"
#include "app/ui/skin.h"
#include "app/web/browser.h"
#include "app/web/transfer.h"
#include "app/web/webprofile.h"
#include "shop/agentsession.h"
#include "widgets/ibutton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

SavedAccount parseSavedAccount(const QString &line)
{
    const qsizetype amp = line.indexOf(QLatin1Char('&'));
    if (amp < 0)
        return {line, QString()};
    return {line.left(amp), line.mid(amp + 1)};
}

Form1::Form1(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_label1 = new QLabel(m_frame1);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel(QStringLiteral("登录密码："), m_frame1);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_zh = new QComboBox(m_frame1);
    m_zh->setObjectName(QStringLiteral("zh"));
    m_zh->setEditable(true);
    m_zh->setInsertPolicy(QComboBox::NoInsert);
    m_mm = new QLineEdit(m_frame1);
    m_mm->setObjectName(QStringLiteral("mm"));
    m_mm->setEchoMode(QLineEdit::Password);
    m_check1 = new QCheckBox(QStringLiteral("记录密码"), m_frame1);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_combo2 = new QComboBox(m_frame1);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->addItem(QStringLiteral("默认服务器"));
    m_label3 = new QLabel(QStringLiteral("注册账号"), m_frame1);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setCursor(Qt::PointingHandCursor);
    m_label3->installEventFilter(this);
    m_label4 = new QLabel(QStringLiteral("找回密码"), m_frame1);
    m_label4->setObjectName(QStringLiteral("Label4"));

    m_iButton1 = new iButton(this);
    m_iButton1->setObjectName(QStringLiteral("iButton1"));
    m_iButton1->setBackPicture(QPixmap(QStringLiteral(":/buttons/login.png")));
    m_iButton2 = new iButton(this);
    m_iButton2->setObjectName(QStringLiteral("iButton2"));
    m_iButton2->setBackPicture(QPixmap(QStringLiteral(":/buttons/close.png")));

    m_dl = new Browser(this);
    m_dl->setObjectName(QStringLiteral("dl"));
    m_web = new Browser(this);
    m_web->setObjectName(QStringLiteral("Web"));
    m_webp = new Browser(this);
    m_webp->setObjectName(QStringLiteral("Webp"));
    setWindowIcon(QIcon(kAppIcon));
    m_inet1 = new Transfer(WebProfile::instance().networkAccess(), this);
    m_inet1->setObjectName(QStringLiteral("Inet1"));

    auto *grid = new QGridLayout(m_frame1);
    grid->addWidget(m_label1, 0, 0);
    grid->addWidget(m_zh, 0, 1);
    grid->addWidget(m_label3, 0, 2);
    grid->addWidget(m_label2, 1, 0);
    grid->addWidget(m_mm, 1, 1);
    grid->addWidget(m_label4, 1, 2);
    grid->addWidget(m_combo2, 2, 1);
    grid->addWidget(m_check1, 2, 2);
    grid->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_iButton1);
    buttons->addSpacing(16);
    buttons->addWidget(m_iButton2);
    buttons->addStretch();
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(m_frame1);
    outer->addLayout(buttons);
    setMinimumWidth(360);

    connect(m_iButton1, &iButton::Click, this, &Form1::logIn);
    connect(m_iButton2, &iButton::Click, this, &QWidget::close);
    connect(m_dl, &Browser::documentComplete, this, &Form1::onLoginPage);
    connect(m_zh, &QComboBox::activated, this, &Form1::onAccountChosen);
    connect(m_web, &Browser::documentComplete, this, &Form1::onVersionPage);
    connect(this, &Form1::registrationRequested, this, &Form1::openRegistration);

    load();
}

void Form1::load()
{
    attachSkin(QDir::currentPath());

    SessionInfoRecord &session = SessionInfo();
    session.brandWord = Brand::word;
    session.appTitle = session.brandWord + Brand::titleSuffix;

    m_frame1->setTitle(QStringLiteral("『") + session.brandWord + QStringLiteral("』综合缴费系统"));
    setWindowTitle(session.appTitle + QStringLiteral("登陆"));
    m_label1->setText(QStringLiteral("登录帐号："));

    session.machineId = computeMachineId();

    loadSavedAccounts();

    m_web->navigate(currentConfig().platformPage(QStringLiteral("down1.html?sj=")) + NewSjValue() +
                    QStringLiteral("&hardware=") + session.machineId);
}

void Form1::loadSavedAccounts()
{
    const auto lines = readGbkLines(QDir::current().absoluteFilePath(kSavedAccountsFile));
    if (!lines || lines->isEmpty())
        return;
    const SavedAccount first = parseSavedAccount(lines->first());
    m_zh->addItem(first.account);
    m_zh->setCurrentText(first.account);
    m_mm->setText(first.password);
    for (qsizetype i = 1; i < lines->size(); ++i)
        m_zh->addItem(parseSavedAccount(lines->at(i)).account);
}

void Form1::onAccountChosen()
{
    const auto lines = readGbkLines(QDir::current().absoluteFilePath(kSavedAccountsFile));
    if (!lines)
        return;
    const QString account = m_zh->currentText();
    for (const QString &line : *lines) {
        const SavedAccount saved = parseSavedAccount(line);
        if (saved.account == account)
            m_mm->setText(saved.password); // the last matching line wins
    }
}

void Form1::logIn()
{
    if (m_loginPending)
        return; // one login request at a time
    const QString account = m_zh->currentText();
    const QString password = m_mm->text();
    const SessionInfoRecord &session = SessionInfo();
    if (account.isEmpty() || password.isEmpty()) {
        Prompter::instance().inform(session.appTitle + QStringLiteral("提示您"),
                                    QStringLiteral("帐号密码不能为空"));
        return;
    }
    m_sentAccount = account;
    m_sentPassword = password;
    m_loginPending = true;
    m_dl->navigate(currentConfig().platformPage(QStringLiteral("index1.asp?action=dl&zh=")) +
                   escapeValue(account) + QStringLiteral("&mm=") + escapeValue(password) +
                   QStringLiteral("&sj=") + NewSjValue() + QStringLiteral("&hardware=") +
                   session.machineId);
}

void Form1::onLoginPage(const QString &url)
{
    if (!url.contains(QLatin1Char('.')))
        return;
    m_loginPending = false;

    const QString caption = SessionInfo().appTitle + QStringLiteral("提示您");
    if (!m_dl->loadSucceeded()) {
        // The browser's own error page has no title worth showing.
        Prompter::instance().inform(
            caption, QStringLiteral("登录失败：无法连接平台服务器，请检查网络后重试"));
        return;
    }
    const QString title = m_dl->title();
    std::optional<LoginAnswer> answer;
    if (title == kLoginSucceeded) {
        QString missing;
        answer = parseLoginAnswer(m_dl->bodyHtml(), &missing);
        if (!answer) {
            // Never show "登陆成功！" for a login that cannot be used.
            Prompter::instance().inform(
                caption,
                QStringLiteral("登录失败：平台的应答不完整（缺少 %1），请稍后重试").arg(missing));
            return;
        }
    }
    Prompter::instance().inform(caption, title);
    if (!answer)
        return;

    SessionInfoRecord &session = SessionInfo();
    session.sessionKey = answer->sessionKey;
    session.userName = answer->userName;
    session.balance = answer->balance;
    session.frozenFunds = answer->frozenFunds;
    session.userId = answer->userId;
    session.userLevel = answer->userLevel;

    if (m_check1->isChecked()) {
        QString error;
        if (!appendGbkLine(QDir::current().absoluteFilePath(kSavedAccountsFile),
                           m_sentAccount + QLatin1Char('&') + m_sentPassword, FileAccess::OwnerOnly,
                           &error))
            Prompter::instance().inform(caption, QStringLiteral("无法保存帐号：%1").arg(error));
    }

    auto *form2 = new Form2(makeAgentSession());
    form2->load();
    form2->show();
    form2->setCommissions(answer->salesCommission, answer->bonusCommission);
    emit loggedIn(form2);
    close();
}

void Form1::onVersionPage()
{
    // The browser's own error page (platform unreachable) announces nothing.
    if (!m_web->loadSucceeded())
        return;
    const QString title = m_web->title();
    if (title.isEmpty() || title == kClientVersion)
        return;
    m_xzdz = m_web->bodyHtml();
    m_bb = title;
    if (m_form14) {
        m_form14->raise();
        return;
    }
    m_form14 = new Form14(m_bb, m_xzdz, this);
    m_form14->show();
}

void Form1::openRegistration()
{
    if (!m_form3)
        m_form3 = new Form3;
    m_form3->show();
    m_form3->raise();
    m_form3->activateWindow();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label3 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit registrationRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
