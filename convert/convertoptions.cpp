#include "convertoptions.h"

#include "model/numberformat.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Argument = ConvertOption::Argument;

// A finite number of at least `least`; nothing otherwise.
std::optional<double> parseNumber(const QString& text, double least)
{
    bool ok = false;
    const double value = NumberFormat::toDouble(text.toStdString(), &ok);
    if (!ok || !std::isfinite(value) || value < least)
        return {};
    return value;
}

// FIRST:LAST with 0 <= FIRST <= LAST.
std::optional<FrameRange> parseRange(const QString& text)
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

// An analysis length or speed: a number of at least 0, else a message naming the option.
QString setLength(std::optional<double>& target, const QString& option, const QString& value)
{
    target = parseNumber(value, 0);
    return target ? QString()
                  : QStringLiteral("%1 %2: expected a number of at least 0").arg(option, value);
}

ConvertOption output(const char* name, QString ConvertOptions::*file, const char* nameAfterInput,
                     const char* extension, const char* help)
{
    ConvertOption option;
    option.name = QLatin1String(name);
    option.argument = Argument::OutputName;
    option.valueName = QStringLiteral("FILE");
    option.help = QLatin1String(help);
    option.file = file;
    option.nameAfterInput = QLatin1String(nameAfterInput);
    option.extension = QLatin1String(extension);
    option.apply = [file](ConvertOptions& options, const QString&, const QString& value) {
        options.*file = value;
        return QString();
    };
    return option;
}

ConvertOption
valueOption(const char* name, const char* valueName, const char* help,
            std::function<QString(ConvertOptions&, const QString&, const QString&)> apply)
{
    ConvertOption option;
    option.name = QLatin1String(name);
    option.argument = Argument::Value;
    option.valueName = QLatin1String(valueName);
    option.help = QLatin1String(help);
    option.apply = std::move(apply);
    return option;
}

// An option whose value is kept as typed, in `member`.
ConvertOption textOption(const char* name, const char* valueName, const char* help,
                         QString ConvertOptions::*member)
{
    return valueOption(name, valueName, help,
                       [member](ConvertOptions& options, const QString&, const QString& value) {
                           options.*member = value;
                           return QString();
                       });
}

ConvertOption flag(const char* name, const char* help, std::function<void(ConvertOptions&)> set)
{
    ConvertOption option;
    option.name = QLatin1String(name);
    option.help = QLatin1String(help);
    option.apply = [set = std::move(set)](ConvertOptions& options, const QString&, const QString&) {
        set(options);
        return QString();
    };
    return option;
}

QList<ConvertOption> makeTable()
{
    using O = ConvertOptions;
    QList<ConvertOption> table;
    table << flag("--recursive", "search folders' subfolders too", [](O& o) { o.recursive = true; })
          << textOption("--out-dir", "DIR", "write outputs under DIR, keeping the folders' layout",
                        &O::outDir);
    ConvertOption jobs =
        valueOption("--jobs", "N", "files converted at once (default: two per core)",
                    [](O& o, const QString& option, const QString& value) {
                        bool ok = false;
                        o.jobs = NumberFormat::toInt(value.toStdString(), &ok);
                        return ok && o.jobs >= 1
                                   ? QString()
                                   : QStringLiteral("%1 %2: expected a number of files, 1 or more")
                                         .arg(option, value);
                    });
    jobs.shortName = QStringLiteral("-j");
    table << jobs;

    table << output("--c3d", &O::c3dFile, "{name}.c3d", ".c3d", "C3D point file");
    table.last().section = QStringLiteral("Outputs:");
    table << output("--bvh", &O::bvhFile, "{name}-cut.bvh", ".bvh", "BVH, cut to --range")
          << output("--com-csv", &O::massCentreFile, "{name}-com.csv", ".csv",
                    "whole-body centre-of-mass table")
          << output("--rotations-csv", &O::rotationsFile, "{name}-rotations.csv", ".csv",
                    "joint rotation table")
          << output("--positions-csv", &O::positionsFile, "{name}-positions.csv", ".csv",
                    "absolute joint position table")
          << output("--analysis-csv", &O::analysisFile, "{name}-analysis.csv", ".csv",
                    "centre-of-mass analysis: filtered centre, velocity,\n"
                    "acceleration, extrapolated centre, margin of stability,\nfoot contacts")
          << output("--events-csv", &O::eventsFile, "{name}-events.csv", ".csv",
                    "gait events (with --c3d also in its EVENT group)")
          << output("--angles-csv", &O::anglesFile, "{name}-angles.csv", ".csv",
                    "joint angles of the legs, pelvis and trunk from the\n"
                    "landmarks, in degrees")
          << output("--strides-csv", &O::stridesFile, "{name}-strides.csv", ".csv",
                    "strides and their spatiotemporal parameters")
          << output("--cycles-csv", &O::cyclesFile, "{name}-cycles.csv", ".csv",
                    "angles, centre and margin over the gait cycle (0-100 %),\n"
                    "mean and SD per side")
          << output("--summary-csv", &O::summaryFile, "{name}-summary.csv", ".csv",
                    "spatiotemporal means and SDs, a row per file (a data\n"
                    "set writes one table, summary.csv without a name)")
          << output("--scores-csv", &O::scoresFile, "{name}-scores.csv", ".csv",
                    "gait variable scores and the gait profile score\n"
                    "against --reference, in degrees")
          << output("--sway-csv", &O::swayFile, "{name}-sway.csv", ".csv",
                    "a standing trial's sway of the centre of mass: distances,\n"
                    "path, velocity, 95 % ellipse, power frequencies")
          << output("--report", &O::reportFile, "{name}-report.pdf", ".pdf",
                    "gait report (PDF): skeleton, spatiotemporal table,\n"
                    "centre of mass and margins, curves over the gait cycle")
          << output("--trc", &O::trcFile, "{name}.trc", ".trc",
                    "joint centres as OpenSim markers (TRC), Y up, +X the\n"
                    "way walked")
          << output("--mot", &O::motFile, "{name}.mot", ".mot",
                    "the analysis as an OpenSim storage file: centre of mass,\n"
                    "extrapolated centre, margins, joint angles")
          << output("--save-profile", &O::profileFile, "{name}.profile.xml", ".xml",
                    "the skeleton's profile (landmarks, convention, unit,\n"
                    "model) as a file to edit and install")
          << flag("--show-profile", "print the skeleton's profile in full",
                  [](O& o) { o.showProfile = true; });

    table << valueOption(
        "--joints", "NAME[,NAME...]", "joints of the two joint tables (default: all)",
        [](O& o, const QString&, const QString& value) {
            o.joints = value.split(QLatin1Char(','));
            return o.joints.contains(QString())
                       ? QStringLiteral("--joints %1 names an empty joint").arg(value)
                       : QString();
        });
    table.last().section = QStringLiteral("What is converted, and how:");
    table
        << valueOption("--c3d-extra", "com,angles,events",
                       "what the C3D file adds: the centre of mass and the\n"
                       "extrapolated centre, the joint angles (degrees) as\n"
                       "points, the gait events (which any analysis adds)",
                       [](O& o, const QString& option, const QString& value) {
                           for (const QString& kind : value.split(QLatin1Char(','))) {
                               if (kind == QLatin1String("com"))
                                   o.c3dCentres = true;
                               else if (kind == QLatin1String("angles"))
                                   o.c3dAngles = true;
                               else if (kind == QLatin1String("events"))
                                   o.c3dEvents = true;
                               else
                                   return QStringLiteral("%1 %2: expected com, angles, events "
                                                         "or a list of them")
                                       .arg(option, value);
                           }
                           return QString();
                       })
        << valueOption(
               "--c3d-labels", "joints|unique",
               "C3D point labels: the joint names (default), or unique,\n"
               "End Sites named after their parent",
               [](O& o, const QString& option, const QString& value) {
                   if (value != QLatin1String("joints") && value != QLatin1String("unique"))
                       return QStringLiteral("%1 %2: expected joints or unique").arg(option, value);
                   o.c3dUniqueLabels = value == QLatin1String("unique");
                   return QString();
               });
    table << valueOption(
        "--trc-units", "mm|m", "lengths of the TRC and MOT files (default mm)",
        [](O& o, const QString&, const QString& value) {
            if (value != QLatin1String("mm") && value != QLatin1String("m"))
                return QStringLiteral("--trc-units %1: expected mm or m").arg(value);
            o.trcInMetres = value == QLatin1String("m");
            return QString();
        });
    table << valueOption("--range", "FIRST:LAST",
                         "frames FIRST to LAST, both included (default: all)",
                         [](O& o, const QString&, const QString& value) {
                             o.range = parseRange(value);
                             return o.range ? QString()
                                            : QStringLiteral("--range %1 is not FIRST:LAST with "
                                                             "0 <= FIRST <= LAST")
                                                  .arg(value);
                         })
          << textOption("--model", "FILE.xml",
                        "mass-segment model (default: defaultMassSegments.xml in\n"
                        "the current directory when it fits the skeleton, else\n"
                        "the profile's model)",
                        &O::modelFile)
          << valueOption("--profile", "NAME|auto",
                         "skeleton profile (default auto: the one fitting the\n"
                         "skeleton's names best)",
                         [](O& o, const QString&, const QString& value) {
                             o.profile = value == QLatin1String("auto") ? QString() : value;
                             return QString();
                         })
          << valueOption("--rotation-order", "fixed|declared",
                         "convention instead of the profile's: fixed is iPi\n"
                         "Studio's, declared the one of most other producers",
                         [](O& o, const QString&, const QString& value) {
                             if (value == QLatin1String("fixed"))
                                 o.convention = PoseConvention::ipiStudio();
                             else if (value == QLatin1String("declared"))
                                 o.convention = PoseConvention::standard();
                             else
                                 return QStringLiteral(
                                            "--rotation-order %1: expected fixed or declared")
                                     .arg(value);
                             return QString();
                         })
          << valueOption(
                 "--units", "cm|m|mm|in",
                 "length unit of the file (default: the profile's, or\n"
                 "the one that makes a person of the skeleton when it does not)",
                 [](O& o, const QString&, const QString& value) {
                     o.unit = LengthUnit::fromName(value);
                     return o.unit
                                ? QString()
                                : QStringLiteral("--units %1: expected cm, m, mm or in").arg(value);
                 });

    table << valueOption("--cutoff", "HZ",
                         "low-pass cut-off of the zero-lag filter (default 6),\n"
                         "below half the frame rate",
                         [](O& o, const QString&, const QString& value) {
                             const std::optional<double> cutoff = parseNumber(value, 0);
                             if (!cutoff || *cutoff <= 0)
                                 return QStringLiteral("--cutoff %1: expected a frequency above "
                                                       "0 Hz")
                                     .arg(value);
                             o.analysis.cutoffHz = *cutoff;
                             return QString();
                         });
    table.last().section =
        QStringLiteral("Analysis (lengths in the file's unit, default from the body's size):");
    table
        << flag("--cutoff-correction", "divide the cut-off by 0.802 for the two passes",
                [](O& o) { o.analysis.correctCutoff = true; })
        << flag("--filter-joints", "filter the feet and pelvis too",
                [](O& o) { o.analysis.filterJoints = true; })
        << flag("--keep-rest-frames",
                "analyse the rest poses at the motion's ends too\n"
                "(left out by default, and said)",
                [](O& o) { o.analysis.keepRestFrames = true; })
        << valueOption(
               "--floor", "auto|HEIGHT",
               "a level floor at this height (default auto: the\n"
               "plane the feet rest on)",
               [](O& o, const QString&, const QString& value) {
                   if (value == QLatin1String("auto")) {
                       o.analysis.floorHeight.reset();
                       return QString();
                   }
                   o.analysis.floorHeight = parseNumber(value, -std::numeric_limits<double>::max());
                   return o.analysis.floorHeight
                              ? QString()
                              : QStringLiteral("--floor %1: expected auto or a height").arg(value);
               })
        << valueOption("--contact-height", "H",
                       "foot contact: this close to the floor (default 3 %\n"
                       "of the stature)",
                       [](O& o, const QString& option, const QString& value) {
                           return setLength(o.analysis.contactHeight, option, value);
                       })
        << valueOption("--contact-speed", "V",
                       "and slower than this per second (default 50 % of\n"
                       "the stature)",
                       [](O& o, const QString& option, const QString& value) {
                           return setLength(o.analysis.contactSpeed, option, value);
                       })
        << valueOption("--pendulum-length", "L",
                       "for the extrapolated centre (default 1.2 x the hips'\n"
                       "standing height)",
                       [](O& o, const QString&, const QString& value) {
                           o.analysis.pendulumLength = parseNumber(value, 0);
                           return o.analysis.pendulumLength && *o.analysis.pendulumLength > 0
                                      ? QString()
                                      : QStringLiteral("--pendulum-length %1: expected a "
                                                       "length above 0")
                                            .arg(value);
                       })
        << valueOption("--foot-width", "W",
                       "width of the feet in the base of support (default\n"
                       "5.5 % of the stature)",
                       [](O& o, const QString& option, const QString& value) {
                           return setLength(o.analysis.footWidth, option, value);
                       });

    table << textOption("--reference", "FILE.csv",
                        "a reference of a group's walks: each walk scored against\n"
                        "it, and its bands behind the report's cycle curves",
                        &O::referenceFile);
    table.last().section = QStringLiteral("Against a reference:");
    table << textOption("--reference-out", "FILE.csv",
                        "the reference of every stride of every walk converted:\n"
                        "each curve's mean and SD at each percent of the cycle",
                        &O::referenceOutFile)
          << flag("--reference-by-side",
                  "keep the left and right strides apart in it\n"
                  "(default: pooled, the left mirrored onto the right)",
                  [](O& o) { o.referenceBySide = true; });

    table << flag("--quiet", "no progress output", [](O& o) { o.quiet = true; });
    table.last().section = QStringLiteral("Other:");
    table << flag("--help", "this text", [](O& o) { o.help = true; })
          << flag("--version", "the program's version", [](O& o) { o.version = true; });
    return table;
}

const ConvertOption* find(const QString& name)
{
    for (const ConvertOption& option : ConvertOptions::table()) {
        if (name == option.name || (!option.shortName.isEmpty() && name == option.shortName))
            return &option;
    }
    return nullptr;
}

} // namespace

const QList<ConvertOption>& ConvertOptions::table()
{
    static const QList<ConvertOption> options = makeTable();
    return options;
}

QList<const ConvertOption*> ConvertOptions::outputOptions()
{
    QList<const ConvertOption*> outputs;
    for (const ConvertOption& option : table()) {
        if (option.argument == Argument::OutputName)
            outputs.append(&option);
    }
    return outputs;
}

bool ConvertOptions::hasOutput() const
{
    const QList<const ConvertOption*> outputs = outputOptions();
    return !referenceOutFile.isEmpty() ||
           std::any_of(outputs.begin(), outputs.end(), [this](const ConvertOption* output) {
               return !(this->*output->file).isEmpty();
           });
}

bool ConvertOptions::isDataSet() const
{
    const QList<const ConvertOption*> outputs = outputOptions();
    return inputs.size() > 1 || recursive || !outDir.isEmpty() || QFileInfo(input).isDir() ||
           std::any_of(outputs.begin(), outputs.end(), [this](const ConvertOption* output) {
               return (this->*output->file).contains(QLatin1String("{name}"));
           });
}

QString ConvertOptions::usage()
{
    QString text = QStringLiteral(
        "Usage: kinovane-convert INPUT.bvh [options]\n"
        "       kinovane-convert FILE|FOLDER... [--recursive] [--out-dir DIR] [-j N] [options]\n"
        "Several inputs, folders (searched for .bvh files) or an output name holding {name}\n"
        "convert each file on its own, its outputs named after it.\n"
        "An output is named as --c3d=NAME, or by the argument after it when that ends in\n"
        "the output's extension (.c3d, .bvh, .csv, .pdf, .trc, .mot); an existing .bvh file before "
        "the input\n"
        "is refused as ambiguous. Without a name an output is named after its input:\n"
        "{name}.c3d, {name}-cut.bvh, {name}-com.csv, {name}-rotations.csv,\n"
        "{name}-positions.csv, {name}-analysis.csv, {name}-events.csv, {name}-angles.csv,\n"
        "{name}-strides.csv, {name}-cycles.csv, {name}-summary.csv, {name}-scores.csv,\n"
        "{name}-sway.csv, {name}-report.pdf,\n"
        "{name}.trc or {name}.mot.\n");
    constexpr qsizetype helpColumn = 26;
    for (const ConvertOption& option : table()) {
        if (!option.section.isEmpty())
            text += option.section + QLatin1Char('\n');
        QString left = QStringLiteral("  ");
        if (!option.shortName.isEmpty())
            left += option.shortName + QStringLiteral(", ");
        left += option.name;
        if (option.argument == Argument::Value)
            left += QLatin1Char(' ') + option.valueName;
        else if (option.argument == Argument::OutputName)
            left += QStringLiteral("[=") + option.valueName + QLatin1Char(']');
        const QStringList help = option.help.split(QLatin1Char('\n'));
        if (left.size() + 1 > helpColumn)
            text += left + QLatin1Char('\n') + QString(helpColumn, QLatin1Char(' '));
        else
            text += left.leftJustified(helpColumn);
        text += help.join(QLatin1Char('\n') + QString(helpColumn, QLatin1Char(' '))) +
                QLatin1Char('\n');
    }
    return text;
}

// The name an output option takes from the argument after it: one ending in the output's
// extension. An existing .bvh file before any input could be meant as the input: refused.
static std::optional<QString> followingName(const ConvertOption& output, const QString& next,
                                            bool inputSeen, QString& error)
{
    if (next.startsWith(QLatin1Char('-')) || !next.endsWith(output.extension, Qt::CaseInsensitive))
        return std::nullopt;
    if (!inputSeen && QFileInfo(next).isFile() &&
        next.endsWith(QLatin1String(".bvh"), Qt::CaseInsensitive)) {
        error = QStringLiteral("%1 %2: %2 exists and may be meant as an input; write %1=%2 to "
                               "replace it, or put the input first")
                    .arg(output.name, next);
        return std::nullopt;
    }
    return next;
}

QString ConvertOptions::parse(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            inputs.append(argument);
            continue;
        }
        // --name=value gives an option its value in the same argument.
        const qsizetype equals =
            argument.startsWith(QLatin1String("--")) ? argument.indexOf(QLatin1Char('=')) : -1;
        const QString name = equals < 0 ? argument : argument.left(equals);
        const std::optional<QString> attached =
            equals < 0 ? std::nullopt : std::optional(argument.mid(equals + 1));
        const ConvertOption* option = find(name);
        if (!option)
            return QStringLiteral("unknown option %1").arg(name);
        QString value;
        switch (option->argument) {
        case Argument::None:
            if (attached)
                return QStringLiteral("%1 takes no value").arg(name);
            break;
        case Argument::Value:
            if (attached)
                value = *attached;
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                return QStringLiteral("%1 needs a value").arg(name);
            break;
        case Argument::OutputName: {
            if (attached) {
                if (attached->isEmpty())
                    return QStringLiteral("%1= names no file").arg(name);
                value = *attached;
                break;
            }
            QString error;
            const std::optional<QString> following =
                i + 1 < arguments.size()
                    ? followingName(*option, arguments[i + 1], !inputs.isEmpty(), error)
                    : std::nullopt;
            if (!error.isEmpty())
                return error;
            if (following) {
                value = *following;
                ++i;
            } else {
                value = option->nameAfterInput;
            }
            break;
        }
        }
        if (const QString problem = option->apply(*this, name, value); !problem.isEmpty())
            return problem;
    }
    input = inputs.value(0);
    if (help || version)
        return {};
    if (input.isEmpty())
        return QStringLiteral("no input file");
    if (!scoresFile.isEmpty() && referenceFile.isEmpty())
        return QStringLiteral("--scores-csv needs a --reference to score against");
    if (!hasOutput() && !showProfile)
        return QStringLiteral(
            "no output asked for (--c3d, --bvh, --com-csv, --rotations-csv, "
            "--positions-csv, --analysis-csv, --events-csv, --angles-csv, "
            "--strides-csv, --cycles-csv, --summary-csv, --scores-csv, --sway-csv, "
            "--report, --trc, --mot, --reference-out, "
            "--save-profile or "
            "--show-profile)");
    return {};
}

QString ConvertOptions::loadReference()
{
    if (referenceFile.isEmpty())
        return {};
    QString error;
    GaitReference read = GaitReference::read(referenceFile, error);
    if (!error.isEmpty())
        return QStringLiteral("--reference %1").arg(error);
    reference = std::make_shared<const GaitReference>(std::move(read));
    return {};
}
