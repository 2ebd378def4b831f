#pragma once

#include "export/c3dgroup.h"
#include "export/c3dheader.h"
#include "export/c3dparameter.h"
#include "export/c3dpoint.h"
#include "model/progresssink.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// A C3D point file: the header block, the parameter section and the 3D samples. An export
// describes the file (setupPointGroup, then events and texts), builds its head (buildHead)
// and writes the samples block by block as it makes them (C3DStream); a small file may also
// hold its samples (addPoint, frame by frame, point by point within a frame) and write itself
// whole (writeC3D).
//
// The file: the header in block 1, the parameter section from block 2 (its 4-byte header,
// then the records one after the other, each group followed by its parameters, then zeros),
// the samples from the block after it. An ordinary motion takes 10 parameter blocks, so its
// samples start at byte 5632.
// An event of the EVENT group: a context ("Left"), a label ("Foot Strike") and the time in
// seconds from the first frame.
struct C3DEvent
{
    QString context;
    QString label;
    double time = 0.0;
};

class QIODevice;

class C3DFile : public QObject
{
    Q_OBJECT

public:
    // Frame counts above this do not fit the header's 16-bit words; such files also carry
    // POINT:LONG_FRAMES and the TRIAL group, which hold the true count.
    static constexpr int maxShortFrames = 65535;
    // The parameter section never takes fewer blocks, nor more than its one-byte count allows.
    static constexpr int minParameterBlocks = 10;
    static constexpr int maxParameterBlocks = 255;
    // One LABELS parameter holds at most this many labels; the rest go to LABELS2, LABELS3...
    static constexpr int labelsPerParameter = 255;

    C3DFile();

    void addPoint(float x, float y, float z) { points.push_back({x, y, z, 0}); }
    // Rebuilds the header and the parameter section for the samples held now: pointCount
    // points per frame at frameRate frames per second. An empty label list gives BodyPart1,
    // BodyPart2 and so on.
    void setupPointGroup(int pointCount, int frameRate, const QString& units,
                         const QStringList& labels);
    // The same for a file of `frameCount` frames whose samples are not held (C3DStream).
    void setupPointGroup(int pointCount, qsizetype frameCount, int frameRate, const QString& units,
                         const QStringList& labels);
    // Adds the EVENT group for `events` after setupPointGroup: USED, CONTEXTS, LABELS and
    // TIMES, the last as whole minutes and seconds, as gait software reads them. A parameter
    // holds at most C3DParameter::maxDimension events; the later ones are left out. Nothing
    // for no event.
    void addEvents(const QList<C3DEvent>& events);
    // Adds a text parameter to the POINT group after setupPointGroup (ANGLES, ANGLE_UNITS).
    void addPointText(const QString& name, const QStringList& values);
    // Writes the file. An existing file is replaced only when everything was written.
    WriteResult writeC3D(const QString& fileName);
    // The header block and the parameter section as the file begins, or why they cannot be
    // written (a parameter or the points too many for the format), named after `fileName`.
    WriteResult buildHead(const QString& fileName, QByteArray& head);
    // Writes samples as the file stores them, little-endian; false when the device failed.
    static bool writeSamples(QIODevice& device, const C3DPoint* samples, qsizetype count);

    // Frames held: the samples divided by the points per frame.
    qsizetype getFrameCount() const;
    // Blocks the parameter section takes: at least minParameterBlocks, and enough to keep
    // zeros after the last record so that a reader walking the records meets an empty one.
    int getParameterBlockCount() const;

    C3DHeader header;
    std::array<quint8, 4> parameterHeader{0, 0, 0, 84}; ///< Bytes 0-3 of the parameter section
    QList<C3DGroup> groups;
    QList<C3DParameter> parameters;
    std::vector<C3DPoint> points;

private:
    void appendLabels(int group, const QStringList& labels);
    void appendLongFrameCount(qsizetype frameCount);
    QByteArray buildHeadBlocks(int parameterBlocks);
    void setupPointGroup(int pointCount, qsizetype frameCount, int frameRate, const QString& units,
                         const QStringList& labels, bool keepPoints);
    void setIntegerParameter(const QByteArray& name, int group, int value);

    int usedPoints = 0;
};
