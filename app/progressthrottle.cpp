#include "progressthrottle.h"

#include <algorithm>

ProgressThrottle::ProgressThrottle(int maximum, int updates)
    : step(updates > 0 ? std::max(maximum, 0) / updates : 0), next(step)
{
}

bool ProgressThrottle::isDue(int frame)
{
    if (frame <= next)
        return false;
    next += step;
    return true;
}
