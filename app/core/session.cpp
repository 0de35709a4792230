#include "app/core/session.h"

SessionInfoRecord &SessionInfo()
{
    static SessionInfoRecord record;
    return record;
}

void resetSessionInfo()
{
    SessionInfo() = SessionInfoRecord{};
}
