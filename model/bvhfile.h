#pragma once

#include "model/bvhjoint.h"
#include "model/progresssink.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class BvhReadObserver;

// What reading a BVH file gave. The reader is forgiving: whatever it understood stays loaded,
// and only a file that cannot be opened or holds no joint hierarchy counts as a failure.
struct BvhReadResult
{
    enum class Status
    {
        Ok,
        CannotOpen,
        NoHierarchy
    };

    Status status = Status::Ok;
    QString errorString;  // why the file gave no motion, when !ok()
    QStringList warnings; // what was repaired or left out, one sentence each

    bool ok() const { return status == Status::Ok; }
};

// One motion: the joint tree, the frame table (one row of channel values per frame, in DOF
// order: joints in pre-order, each joint's channels in CHANNELS order) and the timing. The
// joints hold the values of one row, the current frame; setCurrentFrame moves a row into them
// and updateData writes a joint's values back into the current row.
class BvhFile : public QObject
{
    Q_OBJECT

public:
    explicit BvhFile(QObject* parent = nullptr);
    ~BvhFile() override;

    // Loads a BVH file into this (normally empty) object. Whatever was understood stays
    // loaded; see BvhReadResult for what counts as a failure. `observer`, when given, is told
    // about the rows as they are read (see BvhReadObserver).
    BvhReadResult readFile(const QString& fileName, BvhReadObserver* observer = nullptr);
    // Writes the hierarchy and the rows startFrame..endFrame (both included; an endFrame of -2
    // means through the last row, and rows past the table are never written). Nothing is
    // written, and the old file is kept, when no motion is loaded or the file cannot be
    // written.
    WriteResult writeFile(const QString& fileName, int startFrame, int endFrame);

    // Joint tables of the rows startFrame..endFrame - 1 (an endFrame of -1 means through the
    // last row; the range is cut to the rows that exist), one x, y, z column triple per joint
    // of getAllJoints() whose exportMask flag is set, in pre-order: the rotation channel values
    // in degrees, or the absolute positions. A cancelled export keeps the rows written so far.
    // Each leaves the motion at the last exported frame. Nothing is written when no motion is
    // loaded or the file cannot be written.
    WriteResult exportRotationsCsv(const QString& fileName, int startFrame, int endFrame,
                                   ProgressSink* progress = nullptr);
    WriteResult exportAbsolutePositionsCsv(const QString& fileName, int startFrame, int endFrame,
                                           ProgressSink* progress = nullptr);

    // The rotation convention of every joint of this motion (Fixed unless set). Kept by clear()
    // and given to the joints of every file read afterwards.
    RotationOrder getRotationOrder() const { return rotationOrder; }
    void setRotationOrder(RotationOrder order);

    // Deletes the joint tree and resets every field but the rotation order.
    void clear();
    // A motion of its own that another thread may work on while this one is used: the same
    // rows (shared, not copied, until one side changes them), timing, export mask, current
    // frame and rotation convention, and a copy of the joint tree holding the same values.
    std::unique_ptr<BvhFile> copy() const;
    // Exchanges everything this object holds with `other`; the joints keep their identity.
    void swap(BvhFile& other) noexcept;

    bool isLoaded() const { return !root.isNull(); }
    // Number of rows actually held; numFrames is only what the file declared.
    int rowCount() const { return int(frames.size()); }
    // Makes `frame` the current frame and loads its row into the joints. An index outside the
    // table, or a call without a joint tree, changes nothing.
    void setCurrentFrame(int frame);

public slots:
    // Writes the joint's current channel values into the current frame's row (a row too short
    // for them is padded with zeros). A joint that is not in this motion changes nothing.
    void updateData(BvhJoint* joint);

public:
    QVector<QList<double>> frames;
    QList<bool> exportMask; // one flag per joint of getAllJoints(), set before a joint table
    QPointer<BvhJoint> root;
    int numFrames = 0;
    double frameTime = 0.0;
    int indentLevel = 0;
    int currentFrame = 0;

private:
    RotationOrder rotationOrder = RotationOrder::Fixed;
};
