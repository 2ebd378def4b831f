#pragma once

#include "gait/gaitevents.h"
#include "model/lengthunit.h"
#include "model/writeresult.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

struct MotionAnalysis;

// One stride: from a foot strike to the next strike of the same foot, with the other foot's
// off and strike and this foot's off between them, in that order. Frames are the motion's;
// times in seconds, lengths in the motion's unit (Strides shows them in metres).
struct Stride
{
    GaitEvent::Foot foot = GaitEvent::Left;
    int strike = 0;
    int oppositeOff = 0;
    int oppositeStrike = 0;
    int off = 0;
    int nextStrike = 0;

    double time = 0.0;     // strike to next strike
    double stepTime = 0.0; // the other foot's strike to this foot's next strike
    double cadence = 0.0;  // steps per minute: two steps a stride
    double stancePercent = 0.0;
    double swingPercent = 0.0;
    // Both feet down: from this strike to the other foot's off, and from the other foot's
    // strike to this foot's off.
    double doubleSupportPercent = 0.0;
    double length = 0.0; // between the heel's places at the two strikes, on the floor
    // From the other heel at its strike to this heel at the next strike, along the stride.
    double stepLength = 0.0;
    // From the other heel at its strike to the line of this heel's two strikes.
    double stepWidth = 0.0;
    double speed = 0.0; // length over time
};

// The strides of a walk and their spatiotemporal parameters, per side.
struct Strides
{
    enum Parameter
    {
        StrideTime,
        StepTime,
        Cadence,
        StancePercent,
        SwingPercent,
        DoubleSupportPercent,
        StrideLength,
        StepLength,
        StepWidth,
        Speed,
        parameterCount
    };
    struct Statistic
    {
        int count = 0;
        double mean = 0.0; // NaN without strides
        double sd = 0.0;   // sample standard deviation; NaN below two strides
    };
    // A row of the spatiotemporal table the window and the report show.
    struct TableRow
    {
        QString title;
        QStringList cells; // left, right, symmetry index
    };

    // The colours gait software gives the sides, as 0xRRGGBB: left red, right green.
    static constexpr unsigned int sideColours[2] = {0xcd2323, 0x148c3c};

    std::vector<Stride> strides; // in the order they begin
    LengthUnit unit;
    double frameTime = 0.0;

    // The strides of the analysed range: every stride whose events run in the order of a
    // walk. Lengths from the heels (or ankles) as the analysis follows them.
    static Strides of(const MotionAnalysis& analysis, const LengthUnit& unit);

    // "STRIDE_TIME", ...; the title with its unit ("Stride time (s)", "Stride length (m)").
    static QString nameOf(Parameter parameter);
    static QString titleOf(Parameter parameter);
    // Whether a parameter is a length (or a speed) of the motion's unit.
    static bool isLength(Parameter parameter);
    // A parameter of a stride in the motion's unit, and in SI units (metres, m/s).
    static double valueOf(const Stride& stride, Parameter parameter);
    double siValueOf(const Stride& stride, Parameter parameter) const;
    int count(GaitEvent::Foot foot) const;
    // The units a parameter is given in: SI (seconds, metres, m/s), or the motion's own.
    enum class Units
    {
        SI,
        File
    };
    // The mean and SD of a parameter over a side's strides.
    Statistic statistic(GaitEvent::Foot foot, Parameter parameter, Units units = Units::SI) const;
    // Robinson's symmetry index (1987): 100 (right - left) / the mean of the two. NaN unless
    // both sides have a stride.
    double symmetryIndex(Parameter parameter) const;
    // The spatiotemporal table: the strides of each side, then a row per parameter with each
    // side's "mean ± SD" in SI units (times, lengths and speeds to 3 decimals, the rest to 1)
    // and the symmetry index; "–" where there is no value.
    std::vector<TableRow> table() const;
    // The mean share of the stride the foot is on the floor: where its mean toe off lies.
    double meanToeOffPercent(GaitEvent::Foot foot) const
    {
        return statistic(foot, StancePercent).mean;
    }

    // One row per stride: its foot, frames and times, then every parameter in SI units, the
    // lengths and speed again in metres (the _M columns, as scripts read them) and in the
    // motion's unit (UNIT names it: the _FILE_UNIT columns).
    WriteResult writeCsv(const QString& fileName) const;
    // The summary table's spatiotemporal columns (TrialSummary writes the table), and a
    // file's cells of them.
    static QString summaryHeader();
    QString summaryRow(const QString& file) const;
};
