#include "strides.h"

#include "gait/motionanalysis.h"
#include "model/csvwriter.h"
#include "model/numberformat.h"

#include <cmath>
#include <limits>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

GaitEvent::Foot otherFoot(GaitEvent::Foot foot)
{
    return foot == GaitEvent::Left ? GaitEvent::Right : GaitEvent::Left;
}

// A number cell, empty when the number is not finite.
QString cell(double value)
{
    return std::isfinite(value) ? NumberFormat::general(value) : QString();
}

const char* const parameterNames[Strides::parameterCount] = {
    "STRIDE_TIME",    "STEP_TIME",     "CADENCE",
    "STANCE_PERCENT", "SWING_PERCENT", "DOUBLE_SUPPORT_PERCENT",
    "STRIDE_LENGTH",  "STEP_LENGTH",   "STEP_WIDTH",
    "SPEED"};

// The columns of lengths and speed after the main ones: in metres, then in the motion's unit.
const Strides::Parameter lengths[] = {Strides::StrideLength, Strides::StepLength,
                                      Strides::StepWidth, Strides::Speed};

QString metreName(Strides::Parameter parameter)
{
    return Strides::nameOf(parameter) +
           (parameter == Strides::Speed ? QStringLiteral("_M_S") : QStringLiteral("_M"));
}

QString fileUnitName(Strides::Parameter parameter)
{
    return Strides::nameOf(parameter) + (parameter == Strides::Speed
                                             ? QStringLiteral("_FILE_UNIT_S")
                                             : QStringLiteral("_FILE_UNIT"));
}

} // namespace

Strides Strides::of(const MotionAnalysis& analysis, const LengthUnit& unit)
{
    Strides result;
    result.unit = unit;
    result.frameTime = analysis.frameTime;
    if (!analysis.ok() || !analysis.hasFeet)
        return result;
    const std::vector<GaitEvent>& events = analysis.events;
    // Events lie within the analysed frames, whose every frame the tracks hold.
    const auto heelAt = [&](GaitEvent::Foot foot, int frame) {
        const std::vector<MotionAnalysis::Vector>& heel =
            analysis.feet[size_t(foot)][MotionAnalysis::Heel];
        const size_t i = size_t(frame - analysis.range.first);
        return i < heel.size() ? analysis.horizontal(heel[i])
                               : MotionAnalysis::Vector::Constant(notANumber);
    };
    for (size_t first = 0; first < events.size(); ++first) {
        const GaitEvent& strike = events[first];
        if (strike.kind != GaitEvent::FootStrike)
            continue;
        // The events up to this foot's next strike must be those of one walking stride.
        const GaitEvent::Foot other = otherFoot(strike.foot);
        const GaitEvent expected[] = {{0, other, GaitEvent::FootOff},
                                      {0, other, GaitEvent::FootStrike},
                                      {0, strike.foot, GaitEvent::FootOff},
                                      {0, strike.foot, GaitEvent::FootStrike}};
        size_t next = first + 1;
        int frames[4] = {};
        bool regular = true;
        for (int k = 0; k < 4 && regular; ++k, ++next) {
            regular = next < events.size() && events[next].foot == expected[k].foot &&
                      events[next].kind == expected[k].kind;
            if (regular)
                frames[k] = events[next].frame;
        }
        if (!regular || frames[3] <= strike.frame)
            continue;
        Stride s;
        s.foot = strike.foot;
        s.strike = strike.frame;
        s.oppositeOff = frames[0];
        s.oppositeStrike = frames[1];
        s.off = frames[2];
        s.nextStrike = frames[3];
        const int strideFrames = s.nextStrike - s.strike;
        s.time = strideFrames * analysis.frameTime;
        s.stepTime = (s.nextStrike - s.oppositeStrike) * analysis.frameTime;
        s.cadence = 120.0 / s.time;
        s.stancePercent = 100.0 * (s.off - s.strike) / strideFrames;
        s.swingPercent = 100.0 * (s.nextStrike - s.off) / strideFrames;
        s.doubleSupportPercent =
            100.0 * ((s.oppositeOff - s.strike) + (s.off - s.oppositeStrike)) / strideFrames;

        const MotionAnalysis::Vector start = heelAt(s.foot, s.strike);
        const MotionAnalysis::Vector end = heelAt(s.foot, s.nextStrike);
        const MotionAnalysis::Vector otherHeel = heelAt(other, s.oppositeStrike);
        const MotionAnalysis::Vector stride = end - start;
        s.length = stride.norm();
        s.speed = s.length / s.time;
        if (s.length > 0) {
            const MotionAnalysis::Vector along = stride / s.length;
            s.stepLength = (end - otherHeel).dot(along);
            const MotionAnalysis::Vector fromLine = otherHeel - start;
            s.stepWidth = (fromLine - fromLine.dot(along) * along).norm();
        } else {
            s.stepLength = s.stepWidth = notANumber;
        }
        result.strides.push_back(s);
    }
    return result;
}

QString Strides::nameOf(Parameter parameter)
{
    return QLatin1String(parameterNames[parameter]);
}

QString Strides::titleOf(Parameter parameter)
{
    static const char* const titles[parameterCount] = {
        "Stride time (s)",      "Step time (s)",       "Cadence (steps/min)",
        "Stance (% of stride)", "Swing (% of stride)", "Double support (% of stride)",
        "Stride length (m)",    "Step length (m)",     "Step width (m)",
        "Speed (m/s)"};
    return QLatin1String(titles[parameter]);
}

double Strides::siValueOf(const Stride& stride, Parameter parameter) const
{
    const double value = valueOf(stride, parameter);
    return isLength(parameter) ? value * unit.metresPerUnit() : value;
}

bool Strides::isLength(Parameter parameter)
{
    return parameter >= StrideLength;
}

double Strides::valueOf(const Stride& stride, Parameter parameter)
{
    switch (parameter) {
    case StrideTime:
        return stride.time;
    case StepTime:
        return stride.stepTime;
    case Cadence:
        return stride.cadence;
    case StancePercent:
        return stride.stancePercent;
    case SwingPercent:
        return stride.swingPercent;
    case DoubleSupportPercent:
        return stride.doubleSupportPercent;
    case StrideLength:
        return stride.length;
    case StepLength:
        return stride.stepLength;
    case StepWidth:
        return stride.stepWidth;
    case Speed:
        return stride.speed;
    case parameterCount:
        break;
    }
    return notANumber;
}

int Strides::count(GaitEvent::Foot foot) const
{
    int n = 0;
    for (const Stride& stride : strides)
        n += stride.foot == foot;
    return n;
}

Strides::Statistic Strides::statistic(GaitEvent::Foot foot, Parameter parameter, Units units) const
{
    const auto valueIn = [&](const Stride& stride) {
        return units == Units::SI ? siValueOf(stride, parameter) : valueOf(stride, parameter);
    };
    Statistic result;
    double sum = 0.0;
    for (const Stride& stride : strides) {
        const double value = valueIn(stride);
        if (stride.foot == foot && std::isfinite(value)) {
            ++result.count;
            sum += value;
        }
    }
    result.mean = result.count > 0 ? sum / result.count : notANumber;
    double squares = 0.0;
    for (const Stride& stride : strides) {
        const double value = valueIn(stride);
        if (stride.foot == foot && std::isfinite(value))
            squares += (value - result.mean) * (value - result.mean);
    }
    result.sd = result.count > 1 ? std::sqrt(squares / (result.count - 1)) : notANumber;
    return result;
}

double Strides::symmetryIndex(Parameter parameter) const
{
    const double left = statistic(GaitEvent::Left, parameter).mean;
    const double right = statistic(GaitEvent::Right, parameter).mean;
    return 100.0 * (right - left) / ((right + left) / 2);
}

std::vector<Strides::TableRow> Strides::table() const
{
    const auto number = [](double value, int decimals) {
        return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("–");
    };
    std::vector<TableRow> rows{{QStringLiteral("Strides"),
                                {QString::number(count(GaitEvent::Left)),
                                 QString::number(count(GaitEvent::Right)), QString()}}};
    for (int p = 0; p < parameterCount; ++p) {
        const auto parameter = Parameter(p);
        const int decimals =
            parameter == StrideTime || parameter == StepTime || isLength(parameter) ? 3 : 1;
        TableRow row{titleOf(parameter), {}};
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            const Statistic side = statistic(foot, parameter);
            row.cells.append(side.count == 0
                                 ? QStringLiteral("–")
                                 : QStringLiteral("%1 ± %2").arg(number(side.mean, decimals),
                                                                 number(side.sd, decimals)));
        }
        row.cells.append(number(symmetryIndex(parameter), 1));
        rows.push_back(std::move(row));
    }
    return rows;
}

WriteResult Strides::writeCsv(const QString& fileName) const
{
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    QString header = QStringLiteral("FOOT,STRIDE,STRIKE_FRAME,OPPOSITE_OFF_FRAME,"
                                    "OPPOSITE_STRIKE_FRAME,OFF_FRAME,NEXT_STRIKE_FRAME,TIME,UNIT");
    for (int parameter = 0; parameter < parameterCount; ++parameter)
        header += QLatin1Char(',') + nameOf(Parameter(parameter));
    for (const Parameter parameter : lengths)
        header += QLatin1Char(',') + metreName(parameter);
    for (const Parameter parameter : lengths)
        header += QLatin1Char(',') + fileUnitName(parameter);
    writer.addText(header);
    writer.endLine();
    std::array<int, 2> numbers{};
    for (const Stride& s : strides) {
        QStringList cells = {s.foot == GaitEvent::Left ? QStringLiteral("Left")
                                                       : QStringLiteral("Right"),
                             QString::number(++numbers[size_t(s.foot)]),
                             QString::number(s.strike),
                             QString::number(s.oppositeOff),
                             QString::number(s.oppositeStrike),
                             QString::number(s.off),
                             QString::number(s.nextStrike),
                             cell(s.strike * frameTime),
                             unit.name};
        for (int parameter = 0; parameter < parameterCount; ++parameter)
            cells.append(cell(siValueOf(s, Parameter(parameter))));
        for (const Parameter parameter : lengths)
            cells.append(cell(siValueOf(s, parameter)));
        for (const Parameter parameter : lengths)
            cells.append(cell(valueOf(s, parameter)));
        writer.addText(cells.join(QLatin1Char(',')));
        writer.endLine();
    }
    return writer.finish();
}

QString Strides::summaryHeader()
{
    QStringList names;
    for (int parameter = 0; parameter < parameterCount; ++parameter)
        names.append(nameOf(Parameter(parameter)));
    for (const Parameter parameter : lengths)
        names.append(metreName(parameter));
    for (const Parameter parameter : lengths)
        names.append(fileUnitName(parameter));
    QStringList columns = {QStringLiteral("FILE"), QStringLiteral("UNIT"),
                           QStringLiteral("LEFT_STRIDES"), QStringLiteral("RIGHT_STRIDES")};
    for (const QString& name : names) {
        for (const char* side : {"LEFT_", "RIGHT_"}) {
            columns.append(QLatin1String(side) + name + QStringLiteral("_MEAN"));
            columns.append(QLatin1String(side) + name + QStringLiteral("_SD"));
        }
        columns.append(name + QStringLiteral("_SI"));
    }
    return columns.join(QLatin1Char(','));
}

QString Strides::summaryRow(const QString& file) const
{
    QString name = file;
    if (name.contains(QLatin1Char(',')) || name.contains(QLatin1Char('"')))
        name = QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    QStringList cells = {name, unit.name, QString::number(count(GaitEvent::Left)),
                         QString::number(count(GaitEvent::Right))};
    const auto addParameter = [&](Parameter parameter, Units units) {
        for (const GaitEvent::Foot foot : {GaitEvent::Left, GaitEvent::Right}) {
            const Statistic statistic = this->statistic(foot, parameter, units);
            cells.append(cell(statistic.mean));
            cells.append(cell(statistic.sd));
        }
        cells.append(cell(symmetryIndex(parameter)));
    };
    for (int parameter = 0; parameter < parameterCount; ++parameter)
        addParameter(Parameter(parameter), Units::SI);
    for (const Parameter parameter : lengths)
        addParameter(parameter, Units::SI);
    for (const Parameter parameter : lengths)
        addParameter(parameter, Units::File);
    return cells.join(QLatin1Char(','));
}
