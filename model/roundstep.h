#pragma once

#include <cmath>

// Round steps for ticks and grids: 1, 2 or 5 times a power of ten.
namespace RoundStep {

// The smallest round step at least `size`; 1 for a size that is not positive and finite.
inline double atLeast(double size)
{
    if (!(size > 0) || !std::isfinite(size))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(size)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= size)
            return factor * power;
    }
    return 10 * power;
}

// The largest round step at most `size` (at least the power of ten below it); 1 for a size
// that is not positive and finite.
inline double atMost(double size)
{
    if (!(size > 0) || !std::isfinite(size))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(size)));
    double step = power;
    for (const double factor : {2.0, 5.0, 10.0}) {
        if (factor * power <= size)
            step = factor * power;
    }
    return step;
}

} // namespace RoundStep
