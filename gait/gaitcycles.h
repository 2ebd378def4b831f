#pragma once

#include "gait/gaitevents.h"
#include "gait/strides.h"
#include "model/writeresult.h"

#include <QString>
#include <QStringList>

#include <array>
#include <span>
#include <vector>

struct MotionAnalysis;

// The curves of a walk over the gait cycle: every stride resampled to 101 points (0 to 100 %,
// from a foot strike to the next strike of that foot), and per side the mean and standard
// deviation across the strides at each point, of every joint angle, the centre's height above
// the floor and speed, and the margin of stability.
struct GaitCycles
{
    static constexpr int points = 101;

    struct Curve
    {
        QString name;  // "KNEE_FLEXION", "COM_HEIGHT", ...
        QString title; // "Knee flexion (deg)"
        // Per side (GaitEvent::Foot): the mean and sample standard deviation at each point
        // (NaN where fewer strides give a value than it needs).
        std::array<std::array<double, points>, 2> mean;
        std::array<std::array<double, points>, 2> sd;
    };

    std::array<int, 2> strideCount{};
    std::array<double, 2> meanToeOffPercent{}; // NaN without strides
    std::vector<Curve> curves;

    const Curve* curve(const QString& name) const;

    // What a plot of one side of a curve draws, the same in the Gait view and the report: the
    // mean at each percent, and a band of one standard deviation either side of it. A point
    // without a mean is left out; where the deviation is unknown (a single stride) the band
    // closes on the mean.
    struct PlotPoint
    {
        double percent, mean, lower, upper;
    };
    static std::vector<PlotPoint> plotPoints(const Curve& curve, int side);
    static std::vector<PlotPoint> plotPoints(const std::array<double, points>& mean,
                                             const std::array<double, points>& sd);

    // The value of `samples` (one per frame) at fractional index `x`, by straight lines between
    // neighbours as numpy.interp draws them; the end value beyond the ends.
    static double interpolate(std::span<const double> samples, double x);
    // One stride of `samples` (index 0 being frame `first`) from frame `strike` to `nextStrike`
    // at `points` evenly spaced places.
    static std::array<double, points> resample(std::span<const double> samples, int first,
                                               int strike, int nextStrike);

    using Samples = std::array<double, points>;
    // Each stride of an analysis resampled, curve by curve: what the cycles of a walk and the
    // reference of a group's walks average.
    struct Resampled
    {
        struct Stride
        {
            GaitEvent::Foot foot = GaitEvent::Left;
            std::vector<Samples> curves; // in the order of `names`
        };
        QStringList names, titles;
        std::vector<Stride> strides;
    };
    static Resampled resampleStrides(const MotionAnalysis& analysis, const Strides& strides,
                                     Strides::Units units = Strides::Units::SI);
    // The mean and sample standard deviation at each point of `samples`, leaving out what is
    // not finite: NaN where no sample (no mean) or fewer than two (no deviation) remain.
    static void average(std::span<const Samples* const> samples, Samples& mean, Samples& sd);

    // The cycles of the strides of an analysis, lengths and speeds in metres (what a lab
    // reads) or in the motion's own unit (as the cycles table has them).
    static GaitCycles of(const MotionAnalysis& analysis, const Strides& strides,
                         Strides::Units units = Strides::Units::SI);

    // FOOT, PERCENT, STRIDES, then each curve's NAME_MEAN and NAME_SD: 101 rows per side that
    // has a stride.
    WriteResult writeCsv(const QString& fileName) const;
};
