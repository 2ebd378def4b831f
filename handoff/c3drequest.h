#pragma once

#include "model/bvhfile.h"
#include "model/exportoptions.h"
#include "model/progresssink.h"
#include "model/writeresult.h"

#include <QString>
#include <QStringList>

class C3DPipeline;
struct MotionAnalysis;

// One C3D export as the window's command and the converter ask for it alike: the same choices
// and analysis give the same file, byte for byte.
struct C3DRequest
{
    QString fileName;
    // The frames (options.range), how they are posed and their unit; the joint selection does
    // not apply: every joint is a point.
    ExportOptions options;
    bool uniqueLabels = false; // labels gait software can tell apart, End Sites after their parent
    bool centres = false;      // CentreOfMass and XCoM points
    bool angles = false;       // the joint angles as points
    bool events = false;       // the gait events in the EVENT group
    // The analysis the events and extra points come from, null or failed for none; frames of
    // the range it left out (rest poses) get invalid extra samples.
    const MotionAnalysis* analysis = nullptr;

    bool needsAnalysis() const { return centres || angles || events; }

    // Writes the file. `notes` (when given) gets what the file holds less of than the analysis
    // has: events past the 255 a C3D parameter can list.
    WriteResult write(const BvhFile& motion, ProgressSink* progress = nullptr,
                      C3DPipeline* pipeline = nullptr, QStringList* notes = nullptr) const;
};
