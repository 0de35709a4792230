#pragma once

#include <memory>

class RechargeSession;

// The recharge engine of the login now in the session record: the platform
// of the configuration, the store at its database path, the client's network
// access, its message boxes and the desktop clipboard.
std::unique_ptr<RechargeSession> makeRechargeSession();
