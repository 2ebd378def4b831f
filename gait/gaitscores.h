#pragma once

#include "gait/jointangles.h"
#include "model/writeresult.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

struct GaitCycles;
struct GaitReference;

// How far a walk's kinematics lie from a reference group's: the Gait Variable Scores and the
// Gait Profile Score of Baker et al. (2009, Gait Posture 30: 265-269), which the Movement
// Analysis Profile draws. A variable's score (GVS) on one side is the root mean square of the
// difference between the walk's mean cycle of that side and the reference mean over the 101
// points of the cycle; a side's profile score (GPS) the root mean square of its variables'
// scores. The overall score counts the pelvis once, as Baker does: the left side's variables
// and the right side's others (the right side's pelvis when the walk has no left stride). All
// in degrees.
struct GaitScores
{
    // Baker's variables as the landmarks give them. Hip rotation is not among them: joint
    // centres fix no axis that turns with the thigh about its length.
    static constexpr std::array<JointAngles::Angle, 8> variables = {
        JointAngles::PelvisTilt,        JointAngles::PelvisObliquity, JointAngles::PelvisRotation,
        JointAngles::HipFlexion,        JointAngles::HipAdduction,    JointAngles::KneeFlexion,
        JointAngles::AnkleDorsiflexion, JointAngles::FootProgression};
    static bool isPelvic(JointAngles::Angle angle) { return angle <= JointAngles::PelvisRotation; }

    struct Score
    {
        JointAngles::Angle variable;
        std::array<double, 2> gvs; // per side (GaitEvent::Foot), NaN where the side has none
    };
    std::vector<Score> scores;   // the variables both the walk and the reference have
    std::array<double, 2> gps{}; // per side, NaN without a score
    double overall = 0.0;        // NaN without a score
    // What was not scored and why, each said once.
    QStringList notes;

    bool isEmpty() const { return scores.empty(); }
    // "GPS 5.2° (left 5.0°, right 5.4°)"
    QString describe() const;

    static GaitScores of(const GaitCycles& cycles, const GaitReference& reference);

    // VARIABLE,LEFT,RIGHT,BOTH: a row per variable with its two scores, then the GPS row
    // with each side's and the overall score.
    WriteResult writeCsv(const QString& fileName) const;
    // The columns the summary table adds for the scores, and a file's cells of them.
    static QString summaryHeader();
    QString summaryCells() const;
};
