#include "tools/form35.h"

#include "app/core/config.h"
#include "app/core/launcher.h"
#include "app/core/platform.h"
#include "app/core/session.h"
#include "app/web/transfer.h"
#include "tools/agentwebsite.h"
#include "widgets/namedwidgets.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

Form35::Form35(NetworkAccess &network, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form35"));
    setWindowTitle(SessionInfo().appTitle + QStringLiteral("代理网站生成"));
    m_siteAddress = agentSiteAddress(currentConfig().agentWebsiteUrl, SessionInfo().userId);

    auto *grid = new QGridLayout(this);
    m_label1 = namedLabel("Label1", QStringLiteral("我的代理网站地址："), this);
    m_label2 = namedLabel("Label2", m_siteAddress, this);
    m_label2->setCursor(Qt::PointingHandCursor);
    m_label2->setToolTip(QStringLiteral("打开并复制网站地址"));
    m_label2->setStyleSheet(QStringLiteral("color: #0000ff; text-decoration: underline;"));
    m_label2->installEventFilter(this);
    grid->addWidget(m_label1, 0, 0);
    grid->addWidget(m_label2, 0, 1);

    const char *const labels[][2] = {{"Label3", "网站名称："},
                                     {"Label4", "淘宝旺旺："},
                                     {"Label5", "拍拍QQ："},
                                     {"Label6", "淘宝网址："},
                                     {"Label7", "拍拍网址："}};
    for (int i = 0; i < 5; ++i) {
        m_texts[i] = new QLineEdit(this);
        m_texts[i]->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        grid->addWidget(namedLabel(labels[i][0], QString::fromUtf8(labels[i][1]), this), i + 1, 0);
        grid->addWidget(m_texts[i], i + 1, 1);
    }
    m_label8 = namedLabel("Label8", QString(), this);
    m_command1 = new QPushButton(QStringLiteral("生成"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    grid->addWidget(m_label8, 6, 0, 1, 2);
    grid->addWidget(m_command1, 7, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    resize(460, 280);

    m_inet1 = new Transfer(network, this);
    m_inet1->setObjectName(QStringLiteral("Inet1"));
    connect(m_inet1, &Transfer::stateChanged, this, &Form35::onReply);
    connect(m_command1, &QPushButton::clicked, this, &Form35::save);

    read();
}

Form35::~Form35() = default;

bool Form35::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label2 && isLeftRelease(event)) {
        openSite();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form35::read()
{
    if (m_inet1->execute(
            agentWebsitePageUrl(currentConfig().agentWebsiteUrl), kAgentWebsiteOperation,
            agentSiteReadBody(SessionInfo().userId, NewSjValue()), kFormContentTypeHeader))
        m_inet1->setTag(kReadKind);
}

void Form35::save()
{
    if (m_inet1->stillExecuting()) {
        // The one transfer is busy: say so rather than drop the click silently.
        m_label8->setText(QStringLiteral("正在保存，请稍候"));
        return;
    }
    QStringList settings;
    for (QLineEdit *text : m_texts)
        settings.append(text->text());
    if (m_inet1->execute(agentWebsitePageUrl(currentConfig().agentWebsiteUrl),
                         kAgentWebsiteOperation,
                         agentSiteSaveBody(SessionInfo().userId, settings, NewSjValue()),
                         kFormContentTypeHeader))
        m_inet1->setTag(kSaveKind);
}

void Form35::onReply(int state)
{
    const QString kind = m_inet1->tag();
    if (state != Transfer::ResponseCompleted) {
        m_label8->setText((kind == kSaveKind ? QStringLiteral("设置没有保存：")
                                             : QStringLiteral("设置没有读到：")) +
                          m_inet1->errorText());
        return;
    }
    const QString body = m_inet1->readChunks(1024);
    if (kind == kReadKind) {
        const QStringList settings = readAgentSiteSettings(body);
        for (qsizetype i = 0; i < settings.size(); ++i)
            m_texts[i]->setText(settings.at(i));
    } else if (kind == kSaveKind) {
        m_label8->setText(agentSiteSaved(body) ? QStringLiteral("设置成功！")
                                               : QStringLiteral("设置失败！"));
    }
}

void Form35::openSite()
{
    Launcher::instance().openUrl(m_siteAddress);
    QGuiApplication::clipboard()->setText(m_siteAddress);
    m_label8->setText(QStringLiteral("复制成功！"));
}
