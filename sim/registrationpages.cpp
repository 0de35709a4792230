// Account registration: reg.asp and the pages its window links to.
#include "sim/pages.h"

namespace sim {

void addRegistrationPages(PlatformSim &) {}

} // namespace sim
