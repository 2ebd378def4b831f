#include "derivative.h"

namespace Derivative {

std::vector<double> gradient(std::span<const double> signal, double frameTime)
{
    const size_t count = signal.size();
    std::vector<double> rate(count, 0.0);
    if (count < 2 || !(frameTime > 0))
        return rate;
    rate[0] = (signal[1] - signal[0]) / frameTime;
    for (size_t i = 1; i + 1 < count; ++i)
        rate[i] = (signal[i + 1] - signal[i - 1]) / (2.0 * frameTime);
    rate[count - 1] = (signal[count - 1] - signal[count - 2]) / frameTime;
    return rate;
}

} // namespace Derivative
