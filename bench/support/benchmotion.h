#pragma once

#include <QString>

// The benchmark motion: 60 joints (9 of them End Sites), 180 channels, written as tab-separated
// BVH text with the writer's digits. Generated once per path and reused by later runs.
namespace BenchMotion {

inline constexpr int frameCount = 100000;

// Writes the motion to `path` unless a file of the expected size is already there; returns
// false when it cannot be written.
bool ensure(const QString& path, int frames = frameCount);

// How many times a benchmark repeats its measurements, keeping the best: KINOVANE_BENCH_RUNS
// (at least 1) when set, else `byDefault`.
int runCount(int byDefault);

// The yardstick of reading: one thread splitting every line after "Frame Time:" at blanks and
// converting each piece with std::from_chars, what one core can do. Returns the sum, so that
// nothing can be optimised away, and counts the values.
double bareLoop(const QString& path, qint64* values);

// CPU time this process took so far, all threads, user and system.
double cpuSeconds();

// Peak and current resident memory of this process, in bytes.
qint64 peakResidentBytes();
qint64 residentBytes();

} // namespace BenchMotion
