#pragma once

#include <array>
#include <span>
#include <vector>

// A zero-lag low-pass Butterworth filter, as biomechanics smooths marker and centre-of-mass
// trajectories (Winter, Biomechanics and Motor Control of Human Movement, 4th ed., 3.4.4): a
// second-order design run forward and backward, fourth order overall, with the signal's ends
// padded by odd reflection. The numbers are those of scipy.signal.filtfilt(*butter(2, cutoffHz,
// fs=sampleRateHz), x) with its defaults, which the tests compare against.
namespace Butterworth {

// The coefficients of one second-order section, normalised so that a[0] = 1.
struct Section
{
    std::array<double, 3> b{};
    std::array<double, 3> a{};
};

// The two-pass filter's -3 dB point falls below the design's cut-off; dividing the cut-off by
// this factor puts it back (Winter 2009, eq. 3.12 for two passes of a second-order filter).
inline constexpr double doublePassCorrection = 0.802;

// The second-order low-pass design for a cut-off of `cutoffHz` at `sampleRateHz` samples a
// second, by the bilinear transform with the cut-off prewarped (scipy.signal.butter(2, ...)).
// The cut-off is clamped to (0, 0.499 sampleRateHz).
Section lowPass(double cutoffHz, double sampleRateHz);

// The signal run through the section forward, then backward, each pass started in the steady
// state of its first sample (scipy's lfilter_zi), over the signal extended at both ends by odd
// reflection of 9 samples (fewer for a signal of 9 samples or fewer; one sample stays as it is).
std::vector<double> filterTwice(const Section& section, std::span<const double> signal);

} // namespace Butterworth
