#include "inventory/form12.h"

#include "app/core/config.h"
#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/browser.h"
#include "inventory/cardcodes.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QWebEngineView>

namespace {

const QString kCount = QStringLiteral("num");
const QString kCodes = QStringLiteral("textarea");

} // namespace

Form12::Form12(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form12"));
    const SessionInfoRecord &session = SessionInfo();
    setWindowTitle(session.appTitle + QStringLiteral("添加卡密"));

    m_web = new Browser(this);
    m_web->setObjectName(QStringLiteral("Web"));
    m_view = m_web->createView(this);
    m_command1 = new QPushButton(QStringLiteral("自动卡密生成"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->adjustSize();
    connect(m_command1, &QPushButton::clicked, this, &Form12::generate);

    resize(820, 600);
    m_web->navigate(currentConfig().platformPage(QStringLiteral("cunCard_Step1.asp?sessionkey=")) +
                    session.sessionKey + QStringLiteral("&sj=") + NewSjValue() +
                    QStringLiteral("&hardware=") + session.machineId);
}

void Form12::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The page fills the window; the button lies over its top right corner.
    m_view->setGeometry(rect());
    m_command1->move(width() - m_command1->width() - 8, 8);
    m_command1->raise();
}

void Form12::generate()
{
    // The count is what the agent typed into the page since it loaded.
    if (m_web->isLoading())
        return;
    m_web->refreshElementValues(this, [this] { writeCodes(); });
}

void Form12::writeCodes()
{
    if (!m_web->hasElementValue(kCount) || !m_web->hasElementValue(kCodes))
        return;
    const std::optional<int> count = cardCodeCount(m_web->elementValue(kCount));
    if (!count)
        return;
    if (*count > kMostCardCodes) {
        Prompter::instance().inform(SessionInfo().appTitle, kTooManyCodes);
        return;
    }
    m_web->setElementValue(kCodes, generateCardCodes(*count));
}
