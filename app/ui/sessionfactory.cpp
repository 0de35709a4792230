#include "app/ui/sessionfactory.h"

#include "app/core/config.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/webprofile.h"
#include "shop/agentsession.h"
#include "shop/desktop/x11desktop.h"

#include "widgets/systemclipboard.h"
#include <QDir>
#include <QGuiApplication>

std::unique_ptr<AgentSession> makeAgentSession()
{
    DesktopWindows *desktop = nullptr;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        static X11Desktop x11;
        desktop = &x11;
    }
    return makeAgentSession(desktop);
}

std::unique_ptr<AgentSession> makeAgentSession(DesktopWindows *desktop)
{
    static SystemClipboard clipboard;
    const SessionInfoRecord &session = SessionInfo();
    const ClientConfig &config = currentConfig();
    const PlatformEndpoint endpoint{config.platformBaseUrl, session.sessionKey, session.machineId,
                                    session.userId, session.appTitle};
    const ShopSites sites = shopSitesOf(config);
    const MessengerWindows windows{config.messengerTitleForm, config.messengerClassChain};
    return std::make_unique<AgentSession>(
        endpoint, config.orders, sites, QDir::current().filePath(QStringLiteral("待反馈.txt")),
        WebProfile::instance().networkAccess(), Prompter::instance(), clipboard, nullptr, desktop,
        windows);
}
