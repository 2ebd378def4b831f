#pragma once

#include "model/framerange.h"

#include <QObject>

class AnalysisPanel;
class MotionDocument;
class SetupMenus;
class QWidget;

// The File menu's commands on the document: Open (with a Cancel while it reads), Save, Save of
// a clip, Close, and the question about unsaved edits they all ask first.
class FileCommands : public QObject
{
    Q_OBJECT

public:
    FileCommands(MotionDocument& document, const SetupMenus& setup, const AnalysisPanel& analysis,
                 QWidget& window);

    // Opens a BVH file without asking for its name (Open, a dropped file, the command line).
    // A file that cannot be read, or holds no joint hierarchy, leaves the open motion as it
    // was and says why; a file cut short or repaired opens, and a message box says so.
    bool loadFile(const QString& fileName);
    // Asks for a file and opens it, after asking about unsaved edits.
    void openBVH();
    // Writes the marked range. All of the motion saves it (the unsaved mark goes, and the
    // motion takes the new file's name); a part of it is a clip, and the motion stays unsaved.
    // False when nothing was saved (no motion, the dialog cancelled, the write failed).
    bool saveBVH();
    // Closes the motion after asking about unsaved edits; false when the user cancels.
    bool closeBVH();
    // Asks to save a motion with unsaved edits; false when the user cancels.
    bool maybeSave();

signals:
    void statusMessage(const QString& text);

private:
    // Writes `range` of the motion to a file the user names; false when nothing was written.
    bool saveRange(const FrameRange& range);

    MotionDocument& document;
    const SetupMenus& setup;
    const AnalysisPanel& analysis;
    QWidget& window;
};
