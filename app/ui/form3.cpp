#include "app/ui/form3.h"

#include "app/core/config.h"
#include "app/core/launcher.h"
#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/browser.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kForbidden = QStringLiteral("'?().<> ");

// The ids of the platform's form that receive a box of the same name.
const QStringList kSubmittedFields = {
    QStringLiteral("zh"),     QStringLiteral("mm"),        QStringLiteral("username"),
    QStringLiteral("userqq"), QStringLiteral("userphone"), QStringLiteral("usercard"),
    QStringLiteral("jymm"),
};
const QString kSubmitButton = QStringLiteral("Submit");

const QString kFormUnreachable = QStringLiteral("注册失败：无法连接平台服务器，请检查网络后重试");
const QString kFormMissing = QStringLiteral("注册失败：平台的注册页面暂时不可用，请稍后重试");
const QString kAnswerUnreachable =
    QStringLiteral("没有收到平台的注册结果：无法连接平台服务器。注册可能已经完成，"
                   "请先用该帐号登录试试，再决定是否重新注册");
const QString kNoResult = QStringLiteral("平台没有给出注册结果。注册可能已经完成，"
                                         "请先用该帐号登录试试，再决定是否重新注册");

// The page as the browser serialises it: an element is there when its id
// attribute is, written unquoted since the ids are plain words.
bool hasElement(const QString &bodyHtml, const QString &id)
{
    const QRegularExpression pattern(
        QStringLiteral("\\sid=%1[\\s>]").arg(QRegularExpression::escape(id)));
    return pattern.match(bodyHtml).hasMatch();
}

bool hasRegistrationForm(const QString &bodyHtml)
{
    if (!hasElement(bodyHtml, kSubmitButton))
        return false;
    for (const QString &id : kSubmittedFields) {
        if (!hasElement(bodyHtml, id))
            return false;
    }
    return true;
}

} // namespace

QString Form3::check(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (!kForbidden.contains(ch))
            out.append(ch);
    }
    return out;
}

bool Form3::fieldFails(QStringView text)
{
    return text.isEmpty() || text == kFieldMessage || check(text).size() < text.size();
}

Form3::Form3(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto makeBox = [this](const char *name) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QString::fromUtf8(name));
        box->installEventFilter(this);
        m_boxes.append(box);
        return box;
    };
    m_zh = makeBox("zh");
    m_mm = makeBox("mm");
    m_cmm = makeBox("cmm");
    m_username = makeBox("username");
    m_userqq = makeBox("userqq");
    m_userphone = makeBox("userphone");
    m_usercard = makeBox("usercard");
    m_jymm = makeBox("jymm");
    m_cjymm = makeBox("cjymm");
    m_clickRestore = {m_zh, m_mm, m_cmm, m_username, m_userqq, m_userphone};
    m_secretBoxes = {m_mm, m_cmm, m_jymm, m_cjymm};
    for (QLineEdit *box : m_secretBoxes) {
        box->setEchoMode(QLineEdit::Password);
        // A password box that shows the field message must let it be read.
        connect(box, &QLineEdit::textChanged, this, [box](const QString &text) {
            box->setEchoMode(text == kFieldMessage ? QLineEdit::Normal : QLineEdit::Password);
        });
    }

    auto makeLabel = [this](const char *name, const QString &text) {
        auto *label = new QLabel(text, this);
        label->setObjectName(QString::fromUtf8(name));
        return label;
    };
    m_label1 = makeLabel("Label1", QString());
    const QList<QLabel *> captions = {
        m_label1,
        makeLabel("Label2", QStringLiteral("登陆密码：")),
        makeLabel("Label3", QStringLiteral("重复登陆密码：")),
        makeLabel("Label4", QStringLiteral("真实姓名：")),
        makeLabel("Label5", QStringLiteral("联系QQ：")),
        makeLabel("Label6", QStringLiteral("联系手机：")),
        makeLabel("Label7", QStringLiteral("身份证：")),
        makeLabel("Label8", QStringLiteral("交易密码：")),
        makeLabel("Label9", QStringLiteral("重复交易密码：")),
    };
    const char *const hintNames[] = {"Label10", "Label11", "Label12", "Label14", "Label15",
                                     "Label16", "Label17", "Label18", "Label19"};
    auto *grid = new QGridLayout;
    for (qsizetype row = 0; row < m_boxes.size(); ++row) {
        grid->addWidget(captions.at(row), int(row), 0, Qt::AlignRight);
        grid->addWidget(m_boxes.at(row), int(row), 1);
        grid->addWidget(makeLabel(hintNames[row], QStringLiteral("*认真填写")), int(row), 2);
    }
    grid->setColumnStretch(1, 1);

    m_check1 = new QCheckBox(QStringLiteral("我已经阅读并完全同意"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_label13 = makeLabel("Label13", QStringLiteral("用户协议"));
    m_label20 = makeLabel("Label20", QStringLiteral("自助开通"));
    for (QLabel *link : {m_label13, m_label20}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setStyleSheet(QStringLiteral("color: #0b5f8f; text-decoration: underline;"));
        link->installEventFilter(this);
    }
    m_command1 = new QPushButton(QStringLiteral("注册"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));

    auto *agreement = new QHBoxLayout;
    agreement->addWidget(m_check1);
    agreement->addWidget(m_label13);
    agreement->addStretch();
    agreement->addWidget(m_label20);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addStretch();
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(agreement);
    outer->addLayout(buttons);
    setMinimumWidth(420);

    m_zc = new Browser(this);
    m_zc->setObjectName(QStringLiteral("zc"));

    m_attemptTimer = new QTimer(this);
    m_attemptTimer->setSingleShot(true);
    connect(m_attemptTimer, &QTimer::timeout, this, &Form3::onAttemptTimeout);

    connect(m_command1, &QPushButton::clicked, this, &Form3::registerAccount);
    connect(m_zc, &Browser::documentComplete, this, &Form3::onRegistrationPage);

    load();
}

void Form3::load()
{
    setWindowTitle(SessionInfo().appTitle + QStringLiteral("注册"));
    m_label1->setText(QStringLiteral(" 登录帐号："));
    m_flag = 0;
    m_zc->navigate(registrationPage());
}

QString Form3::registrationPage() const
{
    return currentConfig().platformPage(QStringLiteral("reg.asp?sj=")) + NewSjValue() +
           QStringLiteral("&hardware=") + SessionInfo().machineId;
}

void Form3::setBoxColour(QLineEdit *box, const QColor &colour)
{
    // The skin colours every widget's text, so the colour goes in as a style
    // sheet of the box itself, which wins over the skin.
    box->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
}

void Form3::pd(QLineEdit *box)
{
    if (!fieldFails(box->text()))
        return;
    box->setText(kFieldMessage);
    setBoxColour(box, failedColour);
    m_flag = 1;
}

void Form3::hy(QLineEdit *box)
{
    if (box->text() != kFieldMessage)
        return;
    box->clear();
    setBoxColour(box, normalColour);
}

void Form3::registerAccount()
{
    if (m_attempt != Attempt::Idle)
        return; // one registration at a time; its answer is still to come

    m_flag = 0;
    for (QLineEdit *box : std::as_const(m_boxes))
        pd(box);

    const QString caption = SessionInfo().appTitle + QStringLiteral("提醒您");
    if (!m_check1->isChecked()) {
        Prompter::instance().inform(caption, kAgreementNotTicked);
        return;
    }
    const bool loginDiffer = m_mm->text() != m_cmm->text();
    const bool tradeDiffer = m_jymm->text() != m_cjymm->text();
    if (loginDiffer || tradeDiffer || m_flag == 1) {
        if (loginDiffer) {
            setBoxColour(m_mm, failedColour);
            setBoxColour(m_cmm, failedColour);
        } else if (tradeDiffer) {
            setBoxColour(m_cjymm, failedColour);
            setBoxColour(m_jymm, failedColour);
        }
        return;
    }

    // What goes out is what passed the checks, whatever is typed while the
    // form loads.
    m_toSubmit.clear();
    for (const QString &id : kSubmittedFields)
        m_toSubmit.insert(id, findChild<QLineEdit *>(id)->text());

    // The page in zc may already be an earlier answer: every attempt fills a
    // freshly loaded form.
    m_attempt = Attempt::LoadingForm;
    m_command1->setEnabled(false);
    m_attemptTimer->start(currentConfig().transferTimeoutMs);
    m_zc->navigate(registrationPage());
}

void Form3::onRegistrationPage()
{
    switch (m_attempt) {
    case Attempt::Idle:
        return;
    case Attempt::LoadingForm:
        if (!m_zc->loadSucceeded()) {
            finishAttempt(kFormUnreachable);
            return;
        }
        if (!hasRegistrationForm(m_zc->bodyHtml())) {
            finishAttempt(kFormMissing);
            return;
        }
        submitForm();
        return;
    case Attempt::Submitted: {
        if (m_flag != 1)
            return;
        if (!m_zc->loadSucceeded()) {
            finishAttempt(kAnswerUnreachable);
            return;
        }
        const QString title = m_zc->title();
        finishAttempt(title.isEmpty() ? kNoResult : title);
        if (title == kRegistrationSucceeded) {
            for (QLineEdit *box : std::as_const(m_boxes))
                box->clear();
        }
        return;
    }
    }
}

void Form3::submitForm()
{
    for (const QString &id : kSubmittedFields)
        m_zc->setElementValue(id, m_toSubmit.value(id));
    m_zc->clickElement(kSubmitButton);
    m_flag = 1;
    m_attempt = Attempt::Submitted;
    // A page script may keep the form from going out: the wait is bounded.
    m_attemptTimer->start(currentConfig().transferTimeoutMs);
}

void Form3::finishAttempt(const QString &message)
{
    m_attempt = Attempt::Idle;
    m_attemptTimer->stop();
    m_toSubmit.clear();
    m_command1->setEnabled(true);
    Prompter::instance().inform(SessionInfo().appTitle + QStringLiteral("提醒您"), message);
}

void Form3::onAttemptTimeout()
{
    // A page that turns up later is left alone, as between attempts.
    switch (m_attempt) {
    case Attempt::Idle:
        return;
    case Attempt::LoadingForm:
        finishAttempt(kFormUnreachable);
        return;
    case Attempt::Submitted:
        finishAttempt(kNoResult);
        return;
    }
}

void Form3::openPlatformPage(const QString &relative)
{
    // The system's browser stands in for Internet Explorer.
    const QString url = currentConfig().platformPage(relative);
    if (!Launcher::instance().openUrl(url))
        Prompter::instance().inform(SessionInfo().appTitle + QStringLiteral("提醒您"),
                                    QStringLiteral("无法打开浏览器，请手工访问：") + url);
}

bool Form3::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        for (QLineEdit *box : std::as_const(m_clickRestore)) {
            if (watched == box)
                hy(box); // and the box still takes the click
        }
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == m_label13) {
            openPlatformPage(QStringLiteral("shownews.asp?id=192"));
            return true;
        }
        if (watched == m_label20) {
            openPlatformPage(QStringLiteral("BuyCard_Step1.asp"));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
