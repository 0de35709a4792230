#include "app/core/clock.h"

const Clock &systemClock()
{
    static const SystemClock clock;
    return clock;
}
