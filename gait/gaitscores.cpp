#include "gaitscores.h"

#include "gait/gaitcycles.h"
#include "gait/gaitreference.h"
#include "model/csvwriter.h"
#include "model/numberformat.h"

#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The root mean square of the finite values; NaN without one.
double rootMeanSquare(const std::vector<double>& values)
{
    double sum = 0;
    int count = 0;
    for (const double value : values) {
        if (std::isfinite(value)) {
            sum += value * value;
            ++count;
        }
    }
    return count > 0 ? std::sqrt(sum / count) : notANumber;
}

QString cell(double value)
{
    return std::isfinite(value) ? NumberFormat::general(value) : QString();
}

QString degrees(double value)
{
    return std::isfinite(value) ? QStringLiteral("%1°").arg(value, 0, 'f', 1) : QStringLiteral("–");
}

} // namespace

QString GaitScores::describe() const
{
    return QStringLiteral("GPS %1 (left %2, right %3)")
        .arg(degrees(overall), degrees(gps[0]), degrees(gps[1]));
}

GaitScores GaitScores::of(const GaitCycles& cycles, const GaitReference& reference)
{
    GaitScores result;
    result.notes << QStringLiteral("hip rotation is not scored: joint centres fix no turn of the "
                                   "thigh about its length");
    QStringList missing;
    std::array<std::vector<double>, 2> sides;
    std::vector<double> overall;
    for (const JointAngles::Angle variable : variables) {
        const QString name = JointAngles::nameOf(variable);
        const GaitCycles::Curve* trial = cycles.curve(name);
        if (!trial ||
            (!reference.curve(name, GaitEvent::Left) && !reference.curve(name, GaitEvent::Right))) {
            missing << JointAngles::titleOf(variable).toLower();
            continue;
        }
        Score score{variable, {notANumber, notANumber}};
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            const GaitReference::Curve* normal = reference.curve(name, foot);
            if (!normal || cycles.strideCount[size_t(foot)] == 0)
                continue;
            std::vector<double> differences;
            for (size_t p = 0; p < GaitCycles::points; ++p)
                differences.push_back(trial->mean[size_t(foot)][p] - normal->mean[p]);
            score.gvs[size_t(foot)] = rootMeanSquare(differences);
            sides[size_t(foot)].push_back(score.gvs[size_t(foot)]);
            if (!isPelvic(variable))
                overall.push_back(score.gvs[size_t(foot)]);
        }
        // The pelvis once: as the left side's strides see it, or the right's without those.
        if (isPelvic(variable))
            overall.push_back(std::isfinite(score.gvs[0]) ? score.gvs[0] : score.gvs[1]);
        // A walk without strides of either side has nothing to score.
        if (std::isfinite(score.gvs[0]) || std::isfinite(score.gvs[1]))
            result.scores.push_back(score);
    }
    if (!missing.isEmpty())
        result.notes << QStringLiteral("%1 %2 not scored: the walk or the reference lacks %3")
                            .arg(missing.join(QStringLiteral(", ")),
                                 missing.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                                 missing.size() == 1 ? QStringLiteral("it")
                                                     : QStringLiteral("them"));
    for (size_t side = 0; side < 2; ++side)
        result.gps[side] = rootMeanSquare(sides[side]);
    result.overall = rootMeanSquare(overall);
    return result;
}

WriteResult GaitScores::writeCsv(const QString& fileName) const
{
    if (isEmpty())
        return WriteResult::failure(fileName, QStringLiteral("Nothing was scored."));
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    writer.addText("VARIABLE,LEFT,RIGHT,BOTH");
    writer.endLine();
    for (const Score& score : scores) {
        writer.addText(JointAngles::nameOf(score.variable) + QLatin1Char(',') + cell(score.gvs[0]) +
                       QLatin1Char(',') + cell(score.gvs[1]) + QLatin1Char(','));
        writer.endLine();
    }
    writer.addText(QStringLiteral("GPS,%1,%2,%3").arg(cell(gps[0]), cell(gps[1]), cell(overall)));
    writer.endLine();
    return writer.finish();
}

QString GaitScores::summaryHeader()
{
    return QStringLiteral("GPS,LEFT_GPS,RIGHT_GPS");
}

QString GaitScores::summaryCells() const
{
    if (isEmpty())
        return QStringLiteral(",,");
    return QStringLiteral("%1,%2,%3").arg(cell(overall), cell(gps[0]), cell(gps[1]));
}
