#include "app/ui/rechargesessionfactory.h"

#include "app/core/config.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/webprofile.h"
#include "recharge/rechargesession.h"
#include "widgets/systemclipboard.h"

std::unique_ptr<RechargeSession> makeRechargeSession()
{
    static SystemClipboard clipboard;
    const SessionInfoRecord &session = SessionInfo();
    const ClientConfig &config = currentConfig();
    const PlatformEndpoint endpoint{config.platformBaseUrl, session.sessionKey, session.machineId,
                                    session.userId, session.appTitle};
    return std::make_unique<RechargeSession>(endpoint, config.databasePath,
                                             WebProfile::instance().networkAccess(),
                                             Prompter::instance(), clipboard);
}
