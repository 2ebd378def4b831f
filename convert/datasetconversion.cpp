#include "convert/consoleprogress.h"
#include "convert/conversion.h"
#include "convert/filequeue.h"
#include "convert/inputset.h"
#include "gait/gaitreference.h"
#include "gait/trialsummary.h"
#include "skeleton/skeletonprofiles.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

static void say(const QString& message)
{
    std::fprintf(stderr, "kinovane-convert: %s\n", qUtf8Printable(message));
}

namespace {

struct FileResult
{
    ConvertExit exit = ConvertExit::Failed;
    QStringList messages;
    QString summaryRow;       // empty when the file gave none
    GaitReference::Walk walk; // its share of the reference, when one is made
};

// The one summary table of a data set, or nothing when each file writes its own ({name} in
// the name given) or none is asked for. Without a name it is summary.csv in the output folder
// (or the current one); one input keeps the name after it.
QString summaryTableOf(const ConvertOptions& options, qsizetype count)
{
    const QString& name = options.summaryFile;
    const ConvertOption* summary = nullptr;
    for (const ConvertOption* output : ConvertOptions::outputOptions()) {
        if (output->file == &ConvertOptions::summaryFile)
            summary = output;
    }
    if (name.isEmpty() || (name == summary->nameAfterInput && count == 1))
        return {};
    if (name == summary->nameAfterInput)
        return QDir(options.outDir.isEmpty() ? QStringLiteral(".") : options.outDir)
            .filePath(QStringLiteral("summary.csv"));
    return name.contains(QLatin1String("{name}")) ? QString() : name;
}

// The options of one file of the data set: its outputs named after it, under the output
// folder, whose subfolders are made as needed. With `oneSummary` the file's summary is a row of
// the data set's table, not a file.
std::optional<ConvertOptions> optionsFor(const ConvertOptions& options, const InputFile& file,
                                         bool oneSummary, QStringList& messages)
{
    ConvertOptions one = options;
    one.inputs = {file.path};
    one.input = file.path;
    one.quiet = true;
    one.outDir.clear();
    for (const ConvertOption* output : ConvertOptions::outputOptions()) {
        QString& name = one.*output->file;
        if (name.isEmpty() || (oneSummary && output->file == &ConvertOptions::summaryFile))
            continue;
        name = outputPath(name, file, options.outDir);
        const QString folder = QFileInfo(name).absolutePath();
        if (!QDir().mkpath(folder)) {
            messages.append(QStringLiteral("cannot make the folder %1").arg(folder));
            return std::nullopt;
        }
    }
    return one;
}

} // namespace

ConvertExit runDataSet(const ConvertOptions& options)
{
    const InputSet set = InputSet::collect(options.inputs, options.recursive);
    const size_t count = size_t(set.files.size());
    const QString summaryTable = summaryTableOf(options, qsizetype(count));
    // Several files writing one name would overwrite each other's output.
    for (const ConvertOption* output : ConvertOptions::outputOptions()) {
        const QString& name = options.*output->file;
        if (output->file == &ConvertOptions::summaryFile && !summaryTable.isEmpty())
            continue;
        if (count > 1 && !name.isEmpty() && !name.contains(QLatin1String("{name}"))) {
            say(QStringLiteral("%1 %2 names one file for %3 inputs: put {name} in it, or give "
                               "no name")
                    .arg(output->name, name)
                    .arg(count));
            return ConvertExit::Usage;
        }
    }
    const SkeletonProfiles profiles = SkeletonProfiles::load();
    for (const QString& warning : profiles.getWarnings())
        say(warning);
    std::vector<FileResult> results(count);
    std::optional<ConsoleProgress> console;
    if (!options.quiet && isatty(STDERR_FILENO) && count > 0)
        console.emplace(QStringLiteral("converting %1 files").arg(count), int(count));
    // The files converted at once share the cores: each reads its rows on its own share.
    ConvertOptions shared = options;
    FileQueue queue(qsizetype(count), options.jobs, [&](qsizetype i, ProgressSink*) {
        FileResult& result = results[size_t(i)];
        const std::optional<ConvertOptions> one =
            optionsFor(shared, set.files[i], !summaryTable.isEmpty(), result.messages);
        if (one)
            result.exit =
                runConversion(*one, profiles, &result.messages,
                              summaryTable.isEmpty() ? nullptr : &result.summaryRow,
                              options.referenceOutFile.isEmpty() ? nullptr : &result.walk);
        if (console) {
            ProgressSink* sink = console->sink(int(i));
            sink->begin({}, {}, 1);
            sink->setValue(1);
            sink->end();
        }
    });
    shared.readThreads = queue.coresPerFile();
    queue.start();
    queue.wait();
    if (console)
        console->finish();
    bool tablesWritten = true;
    if (!summaryTable.isEmpty()) {
        QStringList rows;
        for (const FileResult& result : results) {
            if (!result.summaryRow.isEmpty())
                rows.append(result.summaryRow);
        }
        QDir().mkpath(QFileInfo(summaryTable).absolutePath());
        const WriteResult written = TrialSummary::write(summaryTable, rows);
        if (!written.ok)
            say(QStringLiteral("cannot write %1: %2").arg(written.fileName, written.errorString));
        tablesWritten = written.ok;
    }
    if (!options.referenceOutFile.isEmpty()) {
        std::vector<GaitReference::Walk> walks;
        for (FileResult& result : results)
            walks.push_back(std::move(result.walk));
        const GaitReference reference = GaitReference::build(walks, options.referenceBySide);
        QDir().mkpath(QFileInfo(options.referenceOutFile).absolutePath());
        const WriteResult written = reference.write(options.referenceOutFile);
        if (!written.ok)
            say(QStringLiteral("cannot write %1: %2").arg(written.fileName, written.errorString));
        else if (!options.quiet)
            say(QStringLiteral("wrote the reference of %1, to %2")
                    .arg(reference.describe(), options.referenceOutFile));
        tablesWritten = tablesWritten && written.ok;
    }

    int converted = 0, warned = 0, failed = 0;
    for (size_t i = 0; i < count; ++i) {
        if (results[i].exit == ConvertExit::Done) {
            ++converted;
            // A file cut short or otherwise repaired was converted, but not as it was meant.
            if (!results[i].messages.isEmpty()) {
                ++warned;
                say(QStringLiteral("%1 converted with warnings: %2")
                        .arg(set.files[qsizetype(i)].path,
                             results[i].messages.join(QStringLiteral("; "))));
            }
            continue;
        }
        ++failed;
        say(QStringLiteral("%1 failed: %2")
                .arg(set.files[qsizetype(i)].path, results[i].messages.join(QStringLiteral("; "))));
    }
    for (const QString& problem : set.problems)
        say(QStringLiteral("%1 (skipped)").arg(problem));
    if (!options.quiet || failed > 0 || !set.problems.isEmpty())
        say(QStringLiteral("%1 converted%4, %2 failed, %3 skipped")
                .arg(converted)
                .arg(failed)
                .arg(set.problems.size())
                .arg(warned > 0 ? QStringLiteral(" (%1 with warnings)").arg(warned) : QString()));
    return failed > 0 || !set.problems.isEmpty() || !tablesWritten ? ConvertExit::Failed
                                                                   : ConvertExit::Done;
}
