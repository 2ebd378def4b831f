#include "filecommands.h"

#include "app/analysispanel.h"
#include "app/backgroundread.h"
#include "app/exportcommands.h"
#include "app/setupmenus.h"
#include "document/motiondocument.h"
#include "model/bvhjoint.h"
#include "model/bvhwriter.h"
#include "tools/userdialogs.h"

#include <QDir>
#include <QWidget>
#include <QFileInfo>

FileCommands::FileCommands(MotionDocument& document, const SetupMenus& setup,
                           const AnalysisPanel& analysis, QWidget& window)
    : QObject(&window), document(document), setup(setup), analysis(analysis), window(window)
{
}

bool FileCommands::loadFile(const QString& fileName)
{
    BvhFile loaded;
    const BvhReadResult result = BackgroundRead::read(loaded, fileName, &window);
    if (result.ok())
        document.open(loaded, fileName);
    const QString shownName = QFileInfo(fileName).fileName();
    if (result.status == BvhReadResult::Status::Canceled) {
        // What was open stays open.
        emit statusMessage(tr("Opening %1 was canceled.").arg(shownName));
        return false;
    }
    if (!result.ok()) {
        UserDialogs::warning(
            tr("Kinovane"),
            tr("Cannot open %1:\n%2").arg(QDir::toNativeSeparators(fileName), result.errorString));
        return false;
    }
    // Each part is a sentence of its own; the reader's warnings end in their full stop.
    const int rows = document.rowCount();
    QStringList status{tr("%1: %2, %3 joints.")
                           .arg(shownName, rows == 1 ? tr("1 frame") : tr("%1 frames").arg(rows))
                           .arg(document.getMotion().root->getAllJoints().size())};
    status += result.warnings;
    status += setup.setupText();
    if (const QString notes = analysis.notes(); !notes.isEmpty())
        status += notes;
    emit statusMessage(status.join(QLatin1Char(' ')));
    // A file cut short or repaired is open, but not as it was written: said where it is seen.
    if (!result.warnings.isEmpty())
        UserDialogs::warning(tr("Kinovane"),
                             tr("%1 was opened, but not as it was written:\n%2")
                                 .arg(shownName, result.warnings.join(QLatin1Char('\n'))));
    return true;
}

// File commands

bool FileCommands::maybeSave()
{
    if (!document.hasUnsavedEdits())
        return true;
    switch (UserDialogs::askToSave(tr("Kinovane"), tr("The motion has been modified.\n"
                                                      "Do you want to save your changes?"))) {
    case UserDialogs::SaveChoice::Save:
        // The question is about the whole motion: a clip would leave edits unsaved.
        return saveRange(FrameRange::all(document.rowCount()));
    case UserDialogs::SaveChoice::Discard:
        return true;
    case UserDialogs::SaveChoice::Cancel:
        break;
    }
    return false;
}

void FileCommands::openBVH()
{
    const QString fileName =
        UserDialogs::getOpenFileName(tr("File Open"), QString(), QStringLiteral("*.bvh"));
    if (fileName.isEmpty() || !maybeSave())
        return;
    loadFile(fileName);
}

bool FileCommands::saveBVH()
{
    if (!document.isOpen())
        return false;
    return saveRange(document.getMarkedRange());
}

bool FileCommands::saveRange(const FrameRange& range)
{
    const bool whole = range == FrameRange::all(document.rowCount());
    const QString fileName = UserDialogs::getSaveFileName(
        whole ? tr("File Save") : tr("Save Clip"),
        document.suggestedName(whole ? QStringLiteral("edited") : QStringLiteral("clip"),
                               QStringLiteral("bvh")),
        QStringLiteral("*.bvh"));
    if (fileName.isEmpty())
        return false;
    const WriteResult result = BvhWriter(document.getMotion()).write(fileName, range);
    if (!result.ok) {
        UserDialogs::writeFailure(result);
        return false;
    }
    QString text = ExportCommands::writtenText(fileName, range,
                                               document.getMotion().root->getAllJoints().size());
    if (whole) {
        // The motion is now that file's.
        document.markSaved(fileName);
    } else {
        text += tr(": a clip. The motion's other frames are in no file, so it stays unsaved.");
        if (document.hasUnsavedEdits())
            text += tr(" Save all frames (mark them with Home, [, End, ]) to keep every edit.");
    }
    emit statusMessage(text);
    return true;
}

bool FileCommands::closeBVH()
{
    if (!maybeSave())
        return false;
    document.close();
    return true;
}
