#pragma once

#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "model/progresssink.h"
#include "physics/masssegment.h"

#include <QStringList>

class QTemporaryDir;

namespace TestSupport {

// tests/data/<relativePath>
QString dataPath(const QString& relativePath);
// Writes `contents` to dir/name and returns the full path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents);
QByteArray readFile(const QString& path);
// Reads BVH text from memory, as BvhReader reads a file.
BvhReadResult readBvh(BvhFile& file, const QByteArray& text);
// A frame table as a list of rows, and back (rows as long as the first one).
QList<QList<double>> rowList(const FrameRows& rows);
FrameRows frameRows(const QList<QList<double>>& rows);

// Float results are compared to this absolute tolerance unless a test says otherwise: pose
// arithmetic is single precision, so values of order 100 carry errors of order 1e-5.
bool nearlyEqual(const Vector3f& a, const Vector3f& b, float tolerance = 1e-4f);
// The very same floats, bit for bit (so 0 and -0 differ).
bool sameBits(const Vector3f& a, const Vector3f& b);
QString toString(const Vector3f& v);
// "x y z" as a vector.
Vector3f toVector(const QString& text);

// A small motion: Hips (6 channels) -> Spine (3) -> End Site, and LeftLeg (3) -> End Site as
// Hips' second child (tests/data/input/small-hierarchy.bvh), with `frames` rows; row f holds
// 10 f + k in column k.
QByteArray smallMotion(int frames = 3, const QByteArray& frameTime = "0.0333333");
// Reads `text` as a BVH file into `file`; false if the reader refused it.
bool loadMotion(BvhFile& file, const QByteArray& text);
// The lines of a text file, without their line feeds (a final line feed gives no empty line).
QList<QByteArray> readLines(const QString& path);
// The part of a transcript file under the line "== name", up to the next "== " line; empty
// when there is none.
QByteArray section(const QString& path, const QByteArray& name);
// The rows of a table file, one a line, its cells separated by '|' and trimmed; lines that
// are empty or start with '#' are no rows.
QList<QStringList> tableRows(const QString& path);

// The segments written as "start>end distance mass;", and the same text of a model.
MassSegmentModel segmentModel(const QString& segments);
QString segmentText(const MassSegmentModel& segments);

// Stands in for the progress dialog: records what an operation reports (as "begin title|label
// maximum", the values and "end") and, once a value reaches cancelAtValue, answers that the
// user has cancelled.
class RecordingProgress : public ProgressSink
{
public:
    void begin(const QString& title, const QString& label, int maximum) override
    {
        calls << QStringLiteral("begin %1|%2 %3").arg(title, label).arg(maximum);
    }
    void setValue(int value) override { values.append(value); }
    bool isCanceled() const override
    {
        return cancelAtValue >= 0 && !values.isEmpty() && values.last() >= cancelAtValue;
    }
    void end() override { calls << QStringLiteral("end"); }

    int cancelAtValue = -1;
    QStringList calls;
    QList<int> values;
};

// A motion of exactly `jointCount` joints (End Sites included, at least 6): a root "Hips" at
// (0, 90, 0) with 6 channels and five chains of joints "Joint1", "Joint2", ... (10 units
// apart, 3 rotation channels each) ending in End Sites. Every frame turns every joint by a
// few degrees more than the last.
QByteArray branchedMotion(int jointCount, int frames = 2);

// samples/walk.bvh with its joints renamed as input/renamed-walks.txt says for `kind`
// ("mixamo", "xsens", "rokoko"); an unknown kind leaves the names.
QByteArray renamedWalk(const QString& kind);
// The kinds of renamedWalk.
QStringList renamedWalkKinds();
// A BVH text with every joint renamed to a token no profile knows and no name hints at
// ("J" and hexadecimal digits, a different one for each joint); End Sites stay as they are.
QByteArray scrambledNames(const QByteArray& text);
// The text of a recording of tests/data ("real/NAME.bvh"), or of the sample walk renamed
// ("walk:KIND", as renamedWalk).
QByteArray recordingText(const QString& entry);

} // namespace TestSupport
