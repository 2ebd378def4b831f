#include "gaitreference.h"

#include "gait/motionanalysis.h"
#include "model/csvwriter.h"
#include "model/numberformat.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
const QString header = QStringLiteral("VARIABLE,SIDE,PERCENT,MEAN,SD,COUNT");
const QString files = QStringLiteral("FILES");
const QString stridesName = QStringLiteral("STRIDES");

QString sideName(GaitReference::Side side)
{
    switch (side) {
    case GaitReference::Left:
        return QStringLiteral("LEFT");
    case GaitReference::Right:
        return QStringLiteral("RIGHT");
    case GaitReference::Both:
        break;
    }
    return QStringLiteral("BOTH");
}

} // namespace

const GaitReference::Curve* GaitReference::curve(const QString& name, GaitEvent::Foot foot) const
{
    const Curve* pooled = nullptr;
    for (const Curve& c : curves) {
        if (c.name != name)
            continue;
        if (c.side == Side(foot))
            return &c;
        if (c.side == Both)
            pooled = &c;
    }
    return pooled;
}

QString GaitReference::describe() const
{
    const int strides = strideCount[0] + strideCount[1];
    const bool pooled =
        std::any_of(curves.begin(), curves.end(), [](const Curve& c) { return c.side == Both; });
    return QStringLiteral("%1 stride%2 of %3 walk%4, the sides %5")
        .arg(strides)
        .arg(strides == 1 ? "" : "s")
        .arg(fileCount)
        .arg(fileCount == 1 ? "" : "s")
        .arg(pooled ? QStringLiteral("pooled") : QStringLiteral("kept apart"));
}

GaitReference::Walk GaitReference::walkOf(const MotionAnalysis& analysis, const Strides& strides)
{
    Walk walk;
    walk.strides = GaitCycles::resampleStrides(analysis, strides, Strides::Units::SI);
    for (const Stride& stride : strides.strides) {
        std::array<double, Strides::parameterCount> values;
        for (int p = 0; p < Strides::parameterCount; ++p)
            values[size_t(p)] = strides.siValueOf(stride, Strides::Parameter(p));
        walk.parameters.push_back(values);
    }
    return walk;
}

GaitReference GaitReference::build(const std::vector<Walk>& walks, bool bySide)
{
    GaitReference reference;
    const std::vector<Side> sides =
        bySide ? std::vector<Side>{Left, Right} : std::vector<Side>{Both};
    // Every curve any walk has, in the order they first come; a walk without it adds nothing.
    QStringList names;
    for (const Walk& walk : walks) {
        if (walk.strides.strides.empty())
            continue;
        ++reference.fileCount;
        for (const GaitCycles::Resampled::Stride& stride : walk.strides.strides)
            ++reference.strideCount[size_t(stride.foot)];
        for (const QString& name : walk.strides.names) {
            if (!names.contains(name))
                names << name;
        }
    }
    for (const QString& name : names) {
        for (const Side side : sides) {
            std::vector<const GaitCycles::Samples*> samples;
            for (const Walk& walk : walks) {
                const qsizetype k = walk.strides.names.indexOf(name);
                for (const GaitCycles::Resampled::Stride& stride : walk.strides.strides) {
                    if (k >= 0 && (side == Both || side == Side(stride.foot)))
                        samples.push_back(&stride.curves[size_t(k)]);
                }
            }
            if (samples.empty())
                continue;
            Curve curve;
            curve.name = name;
            curve.side = side;
            GaitCycles::average(samples, curve.mean, curve.sd);
            for (const GaitCycles::Samples* values : samples) {
                for (size_t p = 0; p < GaitCycles::points; ++p)
                    curve.count[p] += std::isfinite((*values)[p]);
            }
            reference.curves.push_back(curve);
        }
    }
    for (int p = 0; p < Strides::parameterCount; ++p) {
        for (const Side side : sides) {
            double sum = 0, squares = 0;
            int count = 0;
            std::vector<double> values;
            for (const Walk& walk : walks) {
                for (size_t s = 0;
                     s < std::min(walk.parameters.size(), walk.strides.strides.size()); ++s) {
                    const double value = walk.parameters[s][size_t(p)];
                    const GaitEvent::Foot foot = walk.strides.strides[s].foot;
                    if (std::isfinite(value) && (side == Both || side == Side(foot))) {
                        values.push_back(value);
                        sum += value;
                        ++count;
                    }
                }
            }
            if (count == 0)
                continue;
            const double mean = sum / count;
            for (const double value : values)
                squares += (value - mean) * (value - mean);
            reference.parameters.push_back(
                {Strides::nameOf(Strides::Parameter(p)), side, mean,
                 count > 1 ? std::sqrt(squares / (count - 1)) : notANumber, count});
        }
    }
    return reference;
}

WriteResult GaitReference::write(const QString& fileName) const
{
    if (isEmpty())
        return WriteResult::failure(fileName, QStringLiteral("No walk gave a stride."));
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    const auto cell = [&](double value) {
        writer.addText(std::isfinite(value) ? QLatin1Char(',') + NumberFormat::general(value)
                                            : QStringLiteral(","));
    };
    const auto row = [&](const QString& name, Side side, const QString& percent, double mean,
                         double sd, int count) {
        writer.addText(name + QLatin1Char(',') + sideName(side) + QLatin1Char(',') + percent);
        cell(mean);
        cell(sd);
        writer.addText(QLatin1Char(',') + QString::number(count));
        writer.endLine();
    };
    writer.addText(header);
    writer.endLine();
    row(files, Both, {}, notANumber, notANumber, fileCount);
    for (const Side side : {Left, Right})
        row(stridesName, side, {}, notANumber, notANumber, strideCount[size_t(side)]);
    for (const Parameter& parameter : parameters)
        row(parameter.name, parameter.side, {}, parameter.mean, parameter.sd, parameter.count);
    for (const Curve& curve : curves) {
        for (size_t p = 0; p < GaitCycles::points; ++p)
            row(curve.name, curve.side, QString::number(p), curve.mean[p], curve.sd[p],
                curve.count[p]);
    }
    return writer.finish();
}

GaitReference GaitReference::read(const QString& fileName, QString& error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return {};
    }
    GaitReference reference;
    QMap<std::tuple<QString, int>, size_t> curveAt; // (name, side) -> index into curves
    QMap<std::tuple<QString, int, int>, bool> seen; // (name, side, percent) read already
    static const QRegularExpression name(QStringLiteral("^[A-Z][A-Z0-9_]*$"));
    int line = 0;
    const auto fail = [&](const QString& what) {
        error = QStringLiteral("%1, line %2: %3").arg(fileName).arg(line).arg(what);
        return GaitReference();
    };
    while (!file.atEnd()) {
        const QString text = QString::fromUtf8(file.readLine()).trimmed();
        ++line;
        if (line == 1) {
            if (text != header)
                return fail(QStringLiteral("expected the header %1").arg(header));
            continue;
        }
        if (text.isEmpty())
            continue;
        const QStringList cells = text.split(QLatin1Char(','));
        if (cells.size() != 6)
            return fail(QStringLiteral("expected 6 cells, found %1").arg(cells.size()));
        if (!name.match(cells[0]).hasMatch())
            return fail(QStringLiteral("%1 is no variable name").arg(cells[0]));
        const QStringList sides = {QStringLiteral("LEFT"), QStringLiteral("RIGHT"),
                                   QStringLiteral("BOTH")};
        const qsizetype side = sides.indexOf(cells[1]);
        if (side < 0)
            return fail(QStringLiteral("the side %1 is not LEFT, RIGHT or BOTH").arg(cells[1]));
        bool ok = true;
        const auto number = [&](const QString& cell) {
            if (cell.isEmpty())
                return notANumber;
            bool read = false;
            const double value = NumberFormat::toDouble(cell.toStdString(), &read);
            ok = ok && read; // toDouble refuses infinities and NaN
            return value;
        };
        const double mean = number(cells[3]), sd = number(cells[4]);
        bool countOk = cells[5].isEmpty();
        const int count =
            cells[5].isEmpty() ? 0 : NumberFormat::toInt(cells[5].toStdString(), &countOk);
        if (!ok || !countOk || count < 0 || sd < 0)
            return fail(QStringLiteral("MEAN and SD must be numbers (SD not below 0) or empty, "
                                       "COUNT a count"));
        int percent = -1;
        if (!cells[2].isEmpty()) {
            bool read = false;
            percent = NumberFormat::toInt(cells[2].toStdString(), &read);
            if (!read || percent < 0 || percent >= GaitCycles::points)
                return fail(
                    QStringLiteral("PERCENT %1 is not a whole number from 0 to 100").arg(cells[2]));
        }
        if (seen.contains({cells[0], int(side), percent}))
            return fail(
                QStringLiteral("%1 %2 %3 is given twice").arg(cells[0], cells[1], cells[2]));
        seen.insert({cells[0], int(side), percent}, true);
        if (cells[0] == files && percent < 0) {
            reference.fileCount = count;
        } else if (cells[0] == stridesName && percent < 0 && side != Both) {
            reference.strideCount[size_t(side)] = count;
        } else if (percent < 0) {
            reference.parameters.push_back({cells[0], Side(side), mean, sd, count});
        } else {
            auto at = curveAt.find({cells[0], int(side)});
            if (at == curveAt.end()) {
                Curve curve;
                curve.name = cells[0];
                curve.side = Side(side);
                curve.mean.fill(notANumber);
                curve.sd.fill(notANumber);
                reference.curves.push_back(curve);
                at = curveAt.insert({cells[0], int(side)}, reference.curves.size() - 1);
            }
            Curve& curve = reference.curves[*at];
            curve.mean[size_t(percent)] = mean;
            curve.sd[size_t(percent)] = sd;
            curve.count[size_t(percent)] = count;
        }
    }
    if (line == 0)
        return fail(QStringLiteral("the file is empty"));
    if (reference.curves.empty())
        return fail(QStringLiteral("no curve is given (rows with a PERCENT)"));
    error.clear();
    return reference;
}
