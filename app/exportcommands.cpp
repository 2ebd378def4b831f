#include "exportcommands.h"

#include "app/progressdialogsink.h"
#include "document/motiondocument.h"
#include "gait/motionanalysis.h"
#include "handoff/c3drequest.h"
#include "handoff/opensimfiles.h"
#include "model/jointtables.h"
#include "physics/centreofmass.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointnames.h"
#include "tools/userdialogs.h"

#include <QAction>
#include <QDir>

#include <optional>

ExportCommands::ExportCommands(MotionDocument& document, QObject* parent)
    : QObject(parent), document(document)
{
    const auto option = [this](const QString& text) {
        auto* action = new QAction(text, this);
        action->setCheckable(true);
        return action;
    };
    c3dCentres = option(tr("C3D: Centre of Mass Points"));
    c3dAngles = option(tr("C3D: Joint Angle Points"));
    c3dUniqueLabels = option(tr("C3D: Unique Labels"));
    c3dEvents = option(tr("C3D: Gait Events"));
    c3dEvents->setChecked(true);
}

QString ExportCommands::writtenText(const QString& fileName, const FrameRange& frames,
                                    qsizetype joints)
{
    QString text = tr("Wrote %1: frames %2 to %3")
                       .arg(QDir::toNativeSeparators(fileName))
                       .arg(frames.first)
                       .arg(frames.last);
    if (joints > 0)
        text += tr(", %1 joints").arg(joints);
    return text;
}

void ExportCommands::saveMassCenterCSV()
{
    if (!document.isOpen())
        return;
    // Said before a file name is asked for: no table comes of a model that does not fit.
    const MotionSetup& setup = document.getSetup();
    const QStringList problems = setup.binding.problems(setup.segments);
    if (!problems.isEmpty()) {
        UserDialogs::warning(tr("Kinovane"),
                             tr("The mass-segment model does not fit this skeleton, so there is "
                                "no centre of mass to export. Choose another skeleton profile "
                                "(Edit > Skeleton Profile) or edit the model (Edit > Mass "
                                "Segments).\n%1")
                                 .arg(problems.join(QLatin1Char('\n'))));
        return;
    }
    const QString fileName = UserDialogs::getSaveFileName(
        tr("File Export"), document.suggestedName(QStringLiteral("com"), QStringLiteral("csv")),
        QStringLiteral("*.csv"));
    if (fileName.isEmpty())
        return;
    ExportOptions options = setup.exportOptions(document.getMotion());
    options.range = document.getMarkedRange();
    const WriteResult result =
        CentreOfMass::writeCsv(document.getMotion(), setup.segments, fileName, options);
    if (!result.ok)
        return UserDialogs::writeFailure(result);
    emit statusMessage(writtenText(fileName, options.range, 0));
    UserDialogs::information(tr("Process Complete"), tr("File Export Completed"));
}

void ExportCommands::exportJointTable(const JointTableExport& exportTable, const QString& what,
                                      const QString& extension)
{
    if (!document.isOpen())
        return;
    const BvhFile& motion = document.getMotion();
    CheckableListDialog dialog;
    dialog.setWindowTitle(tr("Select Joints to Export"));
    dialog.setItems(JointNames::shownNames(motion.root));
    dialog.showRange(document.getMarkedRange());
    if (dialog.exec() != QDialog::Accepted)
        return;
    ExportOptions options = document.getSetup().exportOptions(motion);
    options.range = dialog.getRange().clampedTo(motion.rowCount());
    options.jointSelection = dialog.checkStates();
    if (options.range.isEmpty()) {
        UserDialogs::warning(tr("Kinovane"),
                             tr("Frames %1 to %2 hold no frame of this motion (frames 0 to %3): "
                                "nothing was written.")
                                 .arg(dialog.getRange().first)
                                 .arg(dialog.getRange().last)
                                 .arg(document.lastFrame()));
        return;
    }
    const QString fileName = UserDialogs::getSaveFileName(
        tr("File Save"), document.suggestedName(what, extension), QStringLiteral("*.") + extension);
    if (fileName.isEmpty())
        return;
    ProgressDialogSink progress;
    const WriteResult result = exportTable(motion, fileName, options, &progress);
    if (!result.ok)
        return UserDialogs::writeFailure(result);
    emit statusMessage(writtenText(fileName, options.range, options.jointSelection.count(true)));
}

void ExportCommands::saveRotJointsCSV()
{
    exportJointTable(&JointTables::writeRotations, QStringLiteral("rotations"));
}

void ExportCommands::saveAbsPosJointsCSV()
{
    exportJointTable(&JointTables::writePositions, QStringLiteral("positions"));
}

void ExportCommands::saveTrc()
{
    exportJointTable(
        [this](const BvhFile& motion, const QString& fileName, const ExportOptions& options,
               ProgressSink*) {
            const OpenSimFiles::Frame frame = OpenSimFiles::frameOf(
                motion, document.getSetup(), options, OpenSimFiles::Units::Millimetres);
            return OpenSimFiles::writeTrc(motion, fileName, options, frame);
        },
        QStringLiteral("markers"), QStringLiteral("trc"));
}

void ExportCommands::saveC3D()
{
    if (!document.isOpen())
        return;
    const BvhFile& motion = document.getMotion();
    const QString fileName = UserDialogs::getSaveFileName(
        tr("File Save"), document.suggestedName(QString(), QStringLiteral("c3d")),
        QStringLiteral("*.c3d"));
    if (fileName.isEmpty())
        return;
    C3DRequest request;
    request.fileName = fileName;
    request.options = document.getSetup().exportOptions(motion);
    request.uniqueLabels = c3dUniqueLabels->isChecked();
    request.centres = c3dCentres->isChecked();
    request.angles = c3dAngles->isChecked();
    request.events = c3dEvents->isChecked();
    // The events and points for gait software come from the analysis of the whole motion, as
    // the file: the converter's, for the same choices.
    std::optional<MotionAnalysis> analysis;
    QStringList notes;
    if (request.needsAnalysis()) {
        analysis = MotionAnalysis::analyse(motion, document.getSetup(),
                                           document.getAnalysisSettings(), request.options.range);
        if (!analysis->ok() && (request.centres || request.angles))
            return UserDialogs::warning(
                tr("Kinovane"),
                tr("No analysis for the C3D file's extra points: %1").arg(analysis->errorString));
        if (!analysis->ok())
            notes.append(tr("no gait events (no analysis: %1)").arg(analysis->errorString));
        request.analysis = &*analysis;
    }
    ProgressDialogSink progress(ProgressDialogSink::Cancel::Ignored);
    const WriteResult result = request.write(motion, &progress, nullptr, &notes);
    if (!result.ok)
        return UserDialogs::writeFailure(result);
    const ExportOptions& options = request.options;
    QString said = writtenText(fileName, options.range, motion.root->getAllJoints().size());
    if (!notes.isEmpty())
        said += QStringLiteral("; ") + notes.join(QStringLiteral("; "));
    emit statusMessage(said);
}
