#pragma once

#include "model/exportoptions.h"
#include "model/progresssink.h"
#include "model/writeresult.h"

#include <QObject>
#include <QString>

#include <functional>

class BvhFile;
class QAction;
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
    // The joint centres as OpenSim markers (TRC): joints and frames chosen as for the tables.
    void saveTrc();

public:
    // What the C3D export adds for gait software (checkable): the centre of mass and the
    // extrapolated centre as points, the joint angles as points, unique labels (off at
    // first), and the gait events (on at first).
    QAction* c3dCentres = nullptr;
    QAction* c3dAngles = nullptr;
    QAction* c3dUniqueLabels = nullptr;
    QAction* c3dEvents = nullptr; // checked unless the user unchecks it

signals:
    void statusMessage(const QString& text);

private:
    using JointTableExport = std::function<WriteResult(const BvhFile&, const QString&,
                                                       const ExportOptions&, ProgressSink*)>;
    // The joint tables and the markers: choose the joints and the range, then the file, named
    // NAME-what.extension.
    void exportJointTable(const JointTableExport& exportTable, const QString& what,
                          const QString& extension = QStringLiteral("csv"));

    MotionDocument& document;
};
