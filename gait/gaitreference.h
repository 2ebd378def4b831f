#pragma once

#include "gait/gaitcycles.h"
#include "gait/gaitevents.h"
#include "gait/strides.h"
#include "model/writeresult.h"

#include <QString>

#include <array>
#include <vector>

// What a group's walks look like: at each percent of the gait cycle, the mean and standard
// deviation of every curve of their strides (the joint angles, from the landmarks, so that
// walks of any skeleton pool; the centre's height and speed and the margin, in metres), and
// the mean and SD of each spatiotemporal parameter. A trial is scored against it (GaitScores)
// and drawn in front of its band.
//
// Its file is a CSV table that a person can read and a script can write:
//
//   VARIABLE,SIDE,PERCENT,MEAN,SD,COUNT
//   FILES,BOTH,,,,6                         how many walks, and
//   STRIDES,LEFT,,,,21                      how many strides of each side, it holds
//   STRIDE_TIME,BOTH,,1.081,0.052,42        a parameter over the strides (PERCENT empty)
//   KNEE_FLEXION,BOTH,0,4.93,3.27,42        a curve at each PERCENT from 0 to 100
//
// SIDE is BOTH where the sides are pooled (the left mirrored onto the right, as the angles
// are), else LEFT or RIGHT. Angles are in degrees, lengths in metres, times in seconds; COUNT
// is how many strides gave the value. Rows of variables this program does not know are read
// and left unused.
struct GaitReference
{
    enum Side
    {
        Left = GaitEvent::Left,
        Right = GaitEvent::Right,
        Both
    };
    struct Curve
    {
        QString name; // "KNEE_FLEXION", as the cycles table names it
        Side side = Both;
        GaitCycles::Samples mean{}, sd{};
        std::array<int, GaitCycles::points> count{};
    };
    struct Parameter
    {
        QString name; // "STRIDE_TIME", as the strides table names it
        Side side = Both;
        double mean = 0.0, sd = 0.0;
        int count = 0;
    };

    int fileCount = 0;
    std::array<int, 2> strideCount{};
    std::vector<Curve> curves;
    std::vector<Parameter> parameters;

    bool isEmpty() const { return curves.empty(); }
    // The curve for a side: its own when the sides were kept apart, else the pooled one.
    const Curve* curve(const QString& name, GaitEvent::Foot foot) const;
    // "42 strides of 6 walks, the sides pooled"
    QString describe() const;

    // One walk's share of a reference: its strides resampled (in metres), and each stride's
    // spatiotemporal parameters in SI units.
    struct Walk
    {
        GaitCycles::Resampled strides;
        std::vector<std::array<double, Strides::parameterCount>> parameters; // per stride
    };
    static Walk walkOf(const MotionAnalysis& analysis, const Strides& strides);
    // The reference of `walks`, the sides pooled or kept apart.
    static GaitReference build(const std::vector<Walk>& walks, bool bySide);

    WriteResult write(const QString& fileName) const;
    // The reference in `fileName`; empty, with `error` saying what is wrong and on which line,
    // when it cannot be read.
    static GaitReference read(const QString& fileName, QString& error);
};
