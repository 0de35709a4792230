#include "app/ui/sessionfactory.h"

#include "app/core/config.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/webprofile.h"
#include "shop/agentsession.h"

#include "widgets/systemclipboard.h"
#include <QDir>

std::unique_ptr<AgentSession> makeAgentSession()
{
    static SystemClipboard clipboard;
    const SessionInfoRecord &session = SessionInfo();
    const ClientConfig &config = currentConfig();
    const PlatformEndpoint endpoint{config.platformBaseUrl, session.sessionKey, session.machineId,
                                    session.userId, session.appTitle};
    const ShopSites sites{config.taobaoLogisticsUrl, config.taobaoMemberUrl, config.paipaiTradeUrl,
                          config.paipaiLogisticsUrl, config.messengerUrl};
    return std::make_unique<AgentSession>(endpoint, config.databasePath, sites,
                                          QDir::current().filePath(QStringLiteral("待反馈.txt")),
                                          WebProfile::instance().networkAccess(),
                                          Prompter::instance(), clipboard);
}
