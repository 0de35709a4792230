// The self-update: the file a new version is downloaded from.
#include "sim/pages.h"

namespace sim {

void addUpdatePages(PlatformSim &) {}

} // namespace sim
