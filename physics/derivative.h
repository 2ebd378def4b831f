#pragma once

#include <span>
#include <vector>

namespace Derivative {

// The rate of change of a signal sampled every `frameTime` seconds, as numpy.gradient(x,
// frameTime) gives it: central differences inside, one-sided differences at the two ends
// (exact for a polynomial of degree 2 inside, of degree 1 at the ends). A signal of fewer than
// two samples has rate 0.
std::vector<double> gradient(std::span<const double> signal, double frameTime);

} // namespace Derivative
