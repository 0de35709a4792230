#pragma once

#include <memory>

class AgentSession;

// The engine of the login now in the session record: the platform and the
// shop sites of the configuration, the store at its database path, the
// pending-feedback file in the working directory, the client's network
// access, its message boxes and the desktop clipboard.
std::unique_ptr<AgentSession> makeAgentSession();
