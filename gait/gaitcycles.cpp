#include "gaitcycles.h"

#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "model/csvwriter.h"
#include "model/numberformat.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

std::vector<GaitCycles::PlotPoint> GaitCycles::plotPoints(const Curve& curve, int side)
{
    return plotPoints(curve.mean[size_t(side)], curve.sd[size_t(side)]);
}

std::vector<GaitCycles::PlotPoint> GaitCycles::plotPoints(const std::array<double, points>& means,
                                                          const std::array<double, points>& sds)
{
    std::vector<PlotPoint> shown;
    for (int p = 0; p < points; ++p) {
        const double mean = means[size_t(p)];
        if (!std::isfinite(mean))
            continue;
        const double sd = sds[size_t(p)];
        const double spread = std::isfinite(sd) ? sd : 0.0;
        shown.push_back({double(p), mean, mean - spread, mean + spread});
    }
    return shown;
}

const GaitCycles::Curve* GaitCycles::curve(const QString& name) const
{
    for (const Curve& c : curves) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

double GaitCycles::interpolate(std::span<const double> samples, double x)
{
    if (samples.empty())
        return notANumber;
    if (!(x > 0))
        return samples.front();
    const double last = double(samples.size() - 1);
    if (!(x < last))
        return samples.back();
    const size_t below = size_t(x);
    const double share = x - double(below);
    if (share == 0)
        return samples[below];
    // numpy's formula: the slope times the distance, added to the lower neighbour.
    return (samples[below + 1] - samples[below]) * share + samples[below];
}

std::array<double, GaitCycles::points> GaitCycles::resample(std::span<const double> samples,
                                                            int first, int strike, int nextStrike)
{
    std::array<double, points> result;
    const double span = nextStrike - strike;
    for (int point = 0; point < points; ++point)
        result[size_t(point)] =
            interpolate(samples, double(strike - first) + span * point / (points - 1));
    return result;
}

GaitCycles::Resampled GaitCycles::resampleStrides(const MotionAnalysis& analysis,
                                                  const Strides& strides, Strides::Units units)
{
    Resampled result;
    if (!analysis.ok())
        return result;
    // Each curve's samples per side (the same for both sides where the quantity has none).
    std::vector<std::array<const std::vector<double>*, 2>> sources;
    const JointAngles& angles = analysis.angles;
    for (int angle = 0; angle < JointAngles::angleCount; ++angle) {
        const auto a = JointAngles::Angle(angle);
        if (!angles.has(a))
            continue;
        result.names << JointAngles::nameOf(a);
        result.titles << JointAngles::titleOf(a) + QStringLiteral(" (deg)");
        sources.push_back({&angles.degrees[0][size_t(a)], &angles.degrees[1][size_t(a)]});
    }
    const int n = analysis.size();
    const bool si = units == Strides::Units::SI;
    const double scale = si ? strides.unit.metresPerUnit() : 1.0;
    std::vector<double> height(static_cast<size_t>(n)), speed(static_cast<size_t>(n));
    std::vector<double> margin = analysis.margin;
    for (size_t i = 0; i < size_t(n); ++i) {
        height[i] = analysis.heightAboveFloor(analysis.centre[i]) * scale;
        speed[i] = analysis.velocity[i].norm() * scale;
        margin[i] *= scale;
    }
    const QString unit = si ? QStringLiteral("m") : strides.unit.name;
    result.names << QStringLiteral("COM_HEIGHT") << QStringLiteral("COM_SPEED");
    result.titles << QStringLiteral("Height of the centre of mass (%1)").arg(unit)
                  << QStringLiteral("Speed of the centre of mass (%1/s)").arg(unit);
    sources.push_back({&height, &height});
    sources.push_back({&speed, &speed});
    if (analysis.hasFeet) {
        result.names << QStringLiteral("MOS");
        result.titles << QStringLiteral("Margin of stability (%1)").arg(unit);
        sources.push_back({&margin, &margin});
    }
    for (const Stride& stride : strides.strides) {
        Resampled::Stride resampled{stride.foot, {}};
        for (const auto& source : sources)
            resampled.curves.push_back(resample(*source[size_t(stride.foot)], analysis.range.first,
                                                stride.strike, stride.nextStrike));
        result.strides.push_back(std::move(resampled));
    }
    return result;
}

void GaitCycles::average(std::span<const Samples* const> samples, Samples& mean, Samples& sd)
{
    Samples sum{}, squares{};
    std::array<int, points> count{};
    for (const Samples* values : samples) {
        for (size_t p = 0; p < points; ++p) {
            if (std::isfinite((*values)[p])) {
                sum[p] += (*values)[p];
                ++count[p];
            }
        }
    }
    for (size_t p = 0; p < points; ++p)
        mean[p] = count[p] > 0 ? sum[p] / count[p] : notANumber;
    for (const Samples* values : samples) {
        for (size_t p = 0; p < points; ++p) {
            if (std::isfinite((*values)[p]))
                squares[p] += ((*values)[p] - mean[p]) * ((*values)[p] - mean[p]);
        }
    }
    for (size_t p = 0; p < points; ++p)
        sd[p] = count[p] > 1 ? std::sqrt(squares[p] / (count[p] - 1)) : notANumber;
}

GaitCycles GaitCycles::of(const MotionAnalysis& analysis, const Strides& strides,
                          Strides::Units units)
{
    GaitCycles cycles;
    for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
        cycles.strideCount[size_t(foot)] = strides.count(foot);
        cycles.meanToeOffPercent[size_t(foot)] = strides.meanToeOffPercent(foot);
    }
    if (!analysis.ok())
        return cycles;
    const Resampled resampled = resampleStrides(analysis, strides, units);
    for (qsizetype k = 0; k < resampled.names.size(); ++k) {
        Curve curve;
        curve.name = resampled.names[k];
        curve.title = resampled.titles[k];
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            std::vector<const Samples*> side;
            for (const Resampled::Stride& stride : resampled.strides) {
                if (stride.foot == foot)
                    side.push_back(&stride.curves[size_t(k)]);
            }
            average(side, curve.mean[size_t(foot)], curve.sd[size_t(foot)]);
        }
        cycles.curves.push_back(std::move(curve));
    }
    return cycles;
}

WriteResult GaitCycles::writeCsv(const QString& fileName) const
{
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    QString header = QStringLiteral("FOOT,PERCENT,STRIDES");
    for (const Curve& c : curves)
        header += QStringLiteral(",%1_MEAN,%1_SD").arg(c.name);
    writer.addText(header);
    writer.endLine();
    const auto cell = [](double value) {
        return std::isfinite(value) ? QLatin1Char(',') + NumberFormat::general(value)
                                    : QStringLiteral(",");
    };
    for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
        if (strideCount[size_t(foot)] == 0)
            continue;
        for (size_t p = 0; p < points; ++p) {
            QString line =
                (foot == GaitEvent::Left ? QStringLiteral("Left,") : QStringLiteral("Right,")) +
                QString::number(p) + QLatin1Char(',') + QString::number(strideCount[size_t(foot)]);
            for (const Curve& c : curves)
                line += cell(c.mean[size_t(foot)][p]) + cell(c.sd[size_t(foot)][p]);
            writer.addText(line);
            writer.endLine();
        }
    }
    return writer.finish();
}
