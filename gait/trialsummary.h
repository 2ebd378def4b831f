#pragma once

#include "model/writeresult.h"

#include <QString>
#include <QStringList>

struct GaitScores;
struct Strides;
struct Sway;

// The summary table of one trial or of a data set, a row per file: the spatiotemporal means
// and SDs of each side, the profile scores against a reference, and the sway of a standing
// trial, each left empty where the trial has none.
namespace TrialSummary {

QString header();
// `scores` and `sway` may be null.
QString row(const QString& file, const Strides& strides, const GaitScores* scores,
            const Sway* sway);
WriteResult write(const QString& fileName, const QStringList& rows);

} // namespace TrialSummary
