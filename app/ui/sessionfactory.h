#pragma once

#include <memory>

class AgentSession;
class DesktopWindows;

// The engine of the login now in the session record: the platform and the
// shop sites of the configuration, the store at its database path, the
// pending-feedback file in the working directory, the client's network
// access, its message boxes and the desktop clipboard.
// The messenger hand-over types into the X desktop the client is shown on;
// offscreen there is none.
std::unique_ptr<AgentSession> makeAgentSession();
// The same on the given desktop (null: none).
std::unique_ptr<AgentSession> makeAgentSession(DesktopWindows *desktop);
