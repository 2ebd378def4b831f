#include "butterworth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Butterworth {

Section lowPass(double cutoffHz, double sampleRateHz)
{
    const double nyquistShare =
        std::clamp(sampleRateHz > 0 ? cutoffHz / sampleRateHz : 0.25, 1e-9, 0.499);
    // The analogue prototype's poles at angles 3/4 pi and 5/4 pi, scaled to the prewarped
    // cut-off K and taken through the bilinear transform, give this biquad.
    const double k = std::tan(std::numbers::pi * nyquistShare);
    const double k2 = k * k;
    const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k2);
    Section section;
    section.b = {k2 * norm, 2.0 * k2 * norm, k2 * norm};
    section.a = {1.0, 2.0 * (k2 - 1.0) * norm, (1.0 - std::numbers::sqrt2 * k + k2) * norm};
    return section;
}

// One pass in direct form II transposed, its state started where a constant input of `first`
// would have left it.
static void runPass(const Section& s, std::vector<double>& values)
{
    if (values.empty())
        return;
    const double gain = (s.b[0] + s.b[1] + s.b[2]) / (s.a[0] + s.a[1] + s.a[2]);
    const double first = values.front();
    double z0 = (gain - s.b[0]) * first;
    double z1 = (s.b[2] - s.a[2] * gain) * first;
    for (double& value : values) {
        const double x = value;
        const double y = s.b[0] * x + z0;
        z0 = s.b[1] * x - s.a[1] * y + z1;
        z1 = s.b[2] * x - s.a[2] * y;
        value = y;
    }
}

std::vector<double> filterTwice(const Section& section, std::span<const double> signal)
{
    const size_t count = signal.size();
    if (count < 2)
        return std::vector<double>(signal.begin(), signal.end());
    // scipy pads 3 * max(len(a), len(b)) = 9 samples, and needs more than that to reflect.
    const size_t pad = std::min<size_t>(9, count - 1);
    std::vector<double> extended;
    extended.reserve(count + 2 * pad);
    for (size_t i = pad; i >= 1; --i)
        extended.push_back(2.0 * signal[0] - signal[i]);
    extended.insert(extended.end(), signal.begin(), signal.end());
    for (size_t i = 1; i <= pad; ++i)
        extended.push_back(2.0 * signal[count - 1] - signal[count - 1 - i]);
    runPass(section, extended);
    std::reverse(extended.begin(), extended.end());
    runPass(section, extended);
    std::reverse(extended.begin(), extended.end());
    return std::vector<double>(extended.begin() + std::ptrdiff_t(pad),
                               extended.end() - std::ptrdiff_t(pad));
}

} // namespace Butterworth
