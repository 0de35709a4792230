// The account and service pages of the platform.
#include "sim/pages.h"

namespace sim {

void addAccountPages(PlatformSim &) {}

} // namespace sim
