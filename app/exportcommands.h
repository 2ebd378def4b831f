#pragma once

#include "model/exportoptions.h"
#include "model/progresssink.h"
#include "model/writeresult.h"

#include <QObject>
#include <QString>

class BvhFile;
class MotionDocument;

// The window's exports of the open motion as tables and point files: the centre-of-mass
// table of the marked range, the two joint tables (joints and frames chosen in a dialog that
// starts from the marked range) and the C3D file of the whole motion. Each asks for a file
// name, writes through the core's one export function and says what it wrote.
class ExportCommands : public QObject
{
    Q_OBJECT

public:
    explicit ExportCommands(MotionDocument& document, QObject* parent = nullptr);

    // One status line for a file written: its name, frames and (when given) joints.
    static QString writtenText(const QString& fileName, const FrameRange& frames, qsizetype joints);

public slots:
    void saveMassCenterCSV();
    void saveRotJointsCSV();
    void saveAbsPosJointsCSV();
    void saveC3D();

signals:
    void statusMessage(const QString& text);

private:
    using JointTableExport = WriteResult (*)(const BvhFile&, const QString&, const ExportOptions&,
                                             ProgressSink*);
    // Both joint tables: choose the joints and the range, then the file.
    void exportJointTable(JointTableExport exportTable, const QString& what);

    MotionDocument& document;
};
