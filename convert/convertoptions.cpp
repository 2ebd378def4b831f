#include "convertoptions.h"

#include "model/numberformat.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

const std::array<OutputOption, 7>& ConvertOptions::outputOptions()
{
    static const std::array<OutputOption, 7> options{{
        {"--c3d", &ConvertOptions::c3dFile, "{name}.c3d"},
        {"--bvh", &ConvertOptions::bvhFile, "{name}-cut.bvh"},
        {"--com-csv", &ConvertOptions::massCentreFile, "{name}-com.csv"},
        {"--rotations-csv", &ConvertOptions::rotationsFile, "{name}-rotations.csv"},
        {"--positions-csv", &ConvertOptions::positionsFile, "{name}-positions.csv"},
        {"--analysis-csv", &ConvertOptions::analysisFile, "{name}-analysis.csv"},
        {"--events-csv", &ConvertOptions::eventsFile, "{name}-events.csv"},
    }};
    return options;
}

// The output `argument` asks for, or null when it is no output option.
static const OutputOption* outputOption(const QString& argument)
{
    for (const OutputOption& output : ConvertOptions::outputOptions()) {
        if (argument == QLatin1String(output.option))
            return &output;
    }
    return nullptr;
}

bool ConvertOptions::hasOutput() const
{
    return std::any_of(
        outputOptions().begin(), outputOptions().end(),
        [this](const OutputOption& output) { return !(this->*output.file).isEmpty(); });
}

bool ConvertOptions::isDataSet() const
{
    return inputs.size() > 1 || recursive || !outDir.isEmpty() || QFileInfo(input).isDir() ||
           std::any_of(outputOptions().begin(), outputOptions().end(),
                       [this](const OutputOption& output) {
                           return (this->*output.file).contains(QLatin1String("{name}"));
                       });
}

QString ConvertOptions::usage()
{
    return QStringLiteral(
        "Usage: kinovane-convert INPUT.bvh [options]\n"
        "       kinovane-convert FILE|FOLDER... [--recursive] [--out-dir DIR] [-j N] [options]\n"
        "Several inputs, folders (searched for .bvh files) or an output name holding {name}\n"
        "convert each file on its own, its outputs named after it: an output option\n"
        "without a name writes {name}.c3d, {name}-com.csv, {name}-rotations.csv,\n"
        "{name}-positions.csv, {name}-analysis.csv, {name}-events.csv or {name}-cut.bvh.\n"
        "  --recursive             search folders' subfolders too\n"
        "  --out-dir DIR           write outputs under DIR, keeping the folders' layout\n"
        "  -j, --jobs N            files converted at once (default: one per core)\n"
        "  --c3d FILE              C3D point file\n"
        "  --bvh FILE              BVH, cut to --range\n"
        "  --com-csv FILE          whole-body centre-of-mass table\n"
        "  --rotations-csv FILE    joint rotation table\n"
        "  --positions-csv FILE    absolute joint position table\n"
        "  --analysis-csv FILE     centre-of-mass analysis: filtered centre, velocity,\n"
        "                          acceleration, extrapolated centre, margin of stability,\n"
        "                          foot contacts\n"
        "  --events-csv FILE       gait events (with --c3d also in its EVENT group)\n"
        "  --joints NAME[,NAME...] joints of the two joint tables (default: all)\n"
        "  --range FIRST:LAST      frames FIRST to LAST, both included (default: all)\n"
        "  --model FILE.xml        mass-segment model (default: defaultMassSegments.xml in\n"
        "                          the current directory when it fits the skeleton, else\n"
        "                          the profile's model)\n"
        "  --profile NAME|auto     skeleton profile (default auto: the one fitting the\n"
        "                          skeleton's names best)\n"
        "  --rotation-order fixed|declared   convention instead of the profile's: fixed is\n"
        "                          iPi Studio's, declared the one of most other producers\n"
        "  --units cm|m|mm|in      length unit of the file (default: the profile's, or\n"
        "                          metres or millimetres when the skeleton's size says so)\n"
        "Analysis (lengths in the file's unit, default from the body's size):\n"
        "  --cutoff HZ             low-pass cut-off of the zero-lag filter (default 6)\n"
        "  --cutoff-correction     divide the cut-off by 0.802 for the two passes\n"
        "  --filter-joints         filter the feet and pelvis too\n"
        "  --floor auto|HEIGHT     floor height (default auto: where the feet rest)\n"
        "  --contact-height H      foot contact: this close to the floor (default 3 %\n"
        "                          of the stature)\n"
        "  --contact-speed V       and slower than this per second (default 50 % of\n"
        "                          the stature)\n"
        "  --pendulum-length L     for the extrapolated centre (default 1.2 x the hips'\n"
        "                          standing height)\n"
        "  --foot-width W          width of the feet in the base of support (default\n"
        "                          5.5 % of the stature)\n"
        "  --quiet                 no progress output\n"
        "  --help, --version\n");
}

// A finite number of at least `least`; nothing otherwise.
static std::optional<double> parseNumber(const QString& text, double least)
{
    bool ok = false;
    const double value = NumberFormat::toDouble(text.toStdString(), &ok);
    if (!ok || !std::isfinite(value) || value < least)
        return {};
    return value;
}

// FIRST:LAST with 0 <= FIRST <= LAST.
static std::optional<FrameRange> parseRange(const QString& text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {};
    bool firstOk = false, lastOk = false;
    const FrameRange range{NumberFormat::toInt(text.left(colon).toStdString(), &firstOk),
                           NumberFormat::toInt(text.mid(colon + 1).toStdString(), &lastOk)};
    if (!firstOk || !lastOk || range.first < 0 || range.isEmpty())
        return {};
    return range;
}

QString ConvertOptions::parse(const QStringList& arguments)
{
    const auto valueOf = [&](qsizetype& i, QString& value) {
        if (i + 1 >= arguments.size())
            return false;
        value = arguments[++i];
        return true;
    };
    // Options other than the outputs that take a value.
    static const QStringList withValue{QStringLiteral("--joints"),
                                       QStringLiteral("--range"),
                                       QStringLiteral("--model"),
                                       QStringLiteral("--rotation-order"),
                                       QStringLiteral("--profile"),
                                       QStringLiteral("--units"),
                                       QStringLiteral("--cutoff"),
                                       QStringLiteral("--floor"),
                                       QStringLiteral("--contact-height"),
                                       QStringLiteral("--contact-speed"),
                                       QStringLiteral("--pendulum-length"),
                                       QStringLiteral("--foot-width"),
                                       QStringLiteral("--out-dir"),
                                       QStringLiteral("--jobs"),
                                       QStringLiteral("-j")};
    static const QStringList flags{QStringLiteral("--help"),
                                   QStringLiteral("--version"),
                                   QStringLiteral("--recursive"),
                                   QStringLiteral("--quiet"),
                                   QStringLiteral("--cutoff-correction"),
                                   QStringLiteral("--filter-joints")};
    // --NAME VALUE for a length or speed of at least `least`.
    const auto number = [&](const QString& argument, const QString& value, double least,
                            std::optional<double>& target) {
        target = parseNumber(value, least);
        return target ? QString()
                      : QStringLiteral("%1 %2: expected a number of at least %3")
                            .arg(argument, value)
                            .arg(least);
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString value;
        const OutputOption* output = outputOption(argument);
        if (argument.startsWith(QLatin1Char('-')) && !output && !withValue.contains(argument) &&
            !flags.contains(argument))
            return QStringLiteral("unknown option %1").arg(argument);
        // An output option given no name (the next argument is another option, or none) names
        // its file after the input.
        const bool unnamed =
            output && (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1Char('-')));
        if (unnamed)
            value = QString::fromLatin1(output->nameAfterInput);
        if (argument == QLatin1String("--help")) {
            help = true;
        } else if (argument == QLatin1String("--version")) {
            version = true;
        } else if (argument == QLatin1String("--quiet")) {
            quiet = true;
        } else if (argument == QLatin1String("--cutoff-correction")) {
            analysis.correctCutoff = true;
        } else if (argument == QLatin1String("--filter-joints")) {
            analysis.filterJoints = true;
        } else if (argument == QLatin1String("--recursive")) {
            recursive = true;
        } else if (!argument.startsWith(QLatin1Char('-'))) {
            inputs.append(argument);
        } else if (!unnamed && !valueOf(i, value)) {
            return QStringLiteral("%1 needs a value").arg(argument);
        } else if (output) {
            this->*output->file = value;
        } else if (argument == QLatin1String("--joints")) {
            joints = value.split(QLatin1Char(','));
            if (joints.contains(QString()))
                return QStringLiteral("--joints %1 names an empty joint").arg(value);
        } else if (argument == QLatin1String("--range")) {
            range = parseRange(value);
            if (!range)
                return QStringLiteral("--range %1 is not FIRST:LAST with 0 <= FIRST <= LAST")
                    .arg(value);
        } else if (argument == QLatin1String("--model")) {
            modelFile = value;
        } else if (argument == QLatin1String("--rotation-order")) {
            if (value == QLatin1String("fixed"))
                convention = PoseConvention::ipiStudio();
            else if (value == QLatin1String("declared"))
                convention = PoseConvention::standard();
            else
                return QStringLiteral("--rotation-order %1: expected fixed or declared").arg(value);
        } else if (argument == QLatin1String("--profile")) {
            profile = value == QLatin1String("auto") ? QString() : value;
        } else if (argument == QLatin1String("--cutoff")) {
            std::optional<double> cutoff;
            const QString problem = number(argument, value, 0, cutoff);
            if (!problem.isEmpty() || *cutoff <= 0)
                return QStringLiteral("--cutoff %1: expected a frequency above 0 Hz").arg(value);
            analysis.cutoffHz = *cutoff;
        } else if (argument == QLatin1String("--floor")) {
            if (value != QLatin1String("auto")) {
                analysis.floorHeight = parseNumber(value, -std::numeric_limits<double>::max());
                if (!analysis.floorHeight)
                    return QStringLiteral("--floor %1: expected auto or a height").arg(value);
            }
        } else if (argument == QLatin1String("--contact-height")) {
            if (const QString problem = number(argument, value, 0, analysis.contactHeight);
                !problem.isEmpty())
                return problem;
        } else if (argument == QLatin1String("--contact-speed")) {
            if (const QString problem = number(argument, value, 0, analysis.contactSpeed);
                !problem.isEmpty())
                return problem;
        } else if (argument == QLatin1String("--pendulum-length")) {
            if (const QString problem = number(argument, value, 0, analysis.pendulumLength);
                !problem.isEmpty() || *analysis.pendulumLength == 0)
                return QStringLiteral("--pendulum-length %1: expected a length above 0").arg(value);
        } else if (argument == QLatin1String("--foot-width")) {
            if (const QString problem = number(argument, value, 0, analysis.footWidth);
                !problem.isEmpty())
                return problem;
        } else if (argument == QLatin1String("--out-dir")) {
            outDir = value;
        } else if (argument == QLatin1String("--jobs") || argument == QLatin1String("-j")) {
            bool ok = false;
            jobs = NumberFormat::toInt(value.toStdString(), &ok);
            if (!ok || jobs < 1)
                return QStringLiteral("%1 %2: expected a number of files, 1 or more")
                    .arg(argument, value);
        } else if (argument == QLatin1String("--units")) {
            unit = LengthUnit::fromName(value);
            if (!unit)
                return QStringLiteral("--units %1: expected cm, m, mm or in").arg(value);
        }
    }
    input = inputs.value(0);
    if (help || version)
        return {};
    if (input.isEmpty())
        return QStringLiteral("no input file");
    if (!hasOutput())
        return QStringLiteral("no output asked for (--c3d, --bvh, --com-csv, --rotations-csv, "
                              "--positions-csv, --analysis-csv or --events-csv)");
    return {};
}
