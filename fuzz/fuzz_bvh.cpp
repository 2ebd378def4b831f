// The BVH reader and everything that walks what it loads: the skeleton profile chosen for it,
// every frame selected, every joint's absolute position evaluated (from the row, and from the
// joints with the row loaded) under the profile's convention or the standard one, the motion
// written back as BVH, the two joint tables, the C3D file in the unit judged by its size, and
// the centre-of-mass analysis with its tables. Beyond crashes, five properties are checked:
// - the file read in blocks of a few bytes on three threads gives what it gives read whole;
// - every segment of the chosen model is either bound or unbound;
// - a pose evaluated straight from a row is bit for bit the pose of the joints holding it;
// - writing is a fixed point: the text written, read back and written again, is unchanged;
// - an analysis covers every frame, its gait events in order and within the motion.

#include "export/c3dexport.h"
#include "fuzzsupport.h"
#include "gait/motionanalysis.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/lengthunit.h"
#include "model/poseevaluator.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"

#include <QBuffer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <string>

// Joint position evaluations per input, each costing a walk up the joint's parent chain; a
// deep skeleton with many rows is cut to the rows that fit.
static constexpr qsizetype workPerInput = 1 << 9;

static BvhReadResult readText(BvhFile& motion, const QByteArray& text, int threads = 1,
                              qsizetype blockBytes = BvhReader::defaultBlockBytes)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    BvhReader reader(motion);
    reader.setThreads(threads);
    reader.setBlockBytes(blockBytes);
    return reader.read(buffer);
}

// The rows read in blocks of a few bytes split among threads are those read whole.
static void compareSplitRead(const QByteArray& text, const BvhFile& motion,
                             const BvhReadResult& result)
{
    BvhFile split;
    const BvhReadResult splitResult = readText(split, text, 3, 16);
    if (splitResult.status != result.status || splitResult.errorString != result.errorString ||
        splitResult.warnings != result.warnings || split.frames != motion.frames ||
        split.numFrames != motion.numFrames) {
        std::fprintf(
            stderr, "read whole: %s %lld rows; read split: %s %lld rows\n",
            qPrintable(result.errorString), static_cast<long long>(motion.frames.rowCount()),
            qPrintable(splitResult.errorString), static_cast<long long>(split.frames.rowCount()));
        __builtin_trap();
    }
}

static bool same(float a, float b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

static bool same(const Vector3f& a, const Vector3f& b)
{
    return same(a.x(), b.x()) && same(a.y(), b.y()) && same(a.z(), b.z());
}

// Rows that fit the work budget: each row evaluates every joint, a walk of its depth.
static qsizetype affordableRows(const QList<BvhJoint*>& joints)
{
    qsizetype steps = 0;
    for (const BvhJoint* joint : joints) {
        for (const BvhJoint* up = joint; up; up = up->getParentJoint())
            ++steps;
    }
    return std::max<qsizetype>(1, workPerInput / std::max<qsizetype>(1, steps));
}

static void walkFrames(BvhFile& motion, const PoseConvention& convention)
{
    PoseEvaluator fromRows(motion.root, convention);
    PoseEvaluator fromJoints(motion.root, convention);
    const QList<BvhJoint*>& joints = fromRows.getJoints();
    if (motion.frames.rowCount() > affordableRows(joints))
        motion.frames.truncate(affordableRows(joints));
    for (int frame = 0; frame < motion.rowCount(); ++frame) {
        const std::span<const double> row = motion.frames[frame];
        fromRows.evaluateRow(row);
        motion.loadFrame(frame);
        fromJoints.evaluate();
        for (qsizetype i = 0; i < joints.size(); ++i) {
            if (!same(fromRows.getPosition(i), fromJoints.getPosition(i)))
                __builtin_trap();
        }
    }
}

static void writeBackAndCompare(BvhFile& motion)
{
    const std::string written = BvhWriter(motion).toText(FrameRange::all(motion.rowCount()));
    BvhFile reread;
    readText(reread, QByteArray::fromStdString(written));
    const std::string rewritten = BvhWriter(reread).toText(FrameRange::all(reread.rowCount()));
    if (rewritten != written) {
        const auto [at, _] =
            std::mismatch(written.begin(), written.end(), rewritten.begin(), rewritten.end());
        const size_t offset = size_t(at - written.begin());
        const size_t from = offset > 80 ? offset - 80 : 0;
        std::fprintf(stderr, "written:\n%s\n---\nrewritten:\n%s\n",
                     written.substr(from, 160).c_str(), rewritten.substr(from, 160).c_str());
        __builtin_trap();
    }
}

static void exportTables(BvhFile& motion, const PoseConvention& convention)
{
    ExportOptions options = ExportOptions::wholeMotion(motion, convention);
    options.millimetresPerUnit =
        LengthUnit::judge(restPoseStature(motion.root), LengthUnit::centimetres()).millimetres;
    JointTables::writeRotations(motion, FuzzSupport::outputPath(QStringLiteral("rotations.csv")),
                                options);
    JointTables::writePositions(motion, FuzzSupport::outputPath(QStringLiteral("positions.csv")),
                                options);
    C3DExport::exportMotion(motion, FuzzSupport::outputPath(QStringLiteral("motion.c3d")), options);
}

// The setup the converter would choose (profile detection, unit, model binding); every other
// input is posed under the standard convention instead, so that both are walked.
static MotionSetup chooseSetup(BvhFile& motion, std::size_t size)
{
    static const SkeletonProfiles profiles = SkeletonProfiles::load({});
    MotionSetup setup = MotionSetup::choose(profiles, motion, {});
    if (setup.binding.bound.size() + size_t(setup.binding.unboundSegments.size()) !=
        size_t(setup.segments.size()))
        __builtin_trap();
    if (size % 2)
        setup.convention = PoseConvention::standard();
    return setup;
}

static void analyse(const BvhFile& motion, const MotionSetup& setup)
{
    const MotionAnalysis analysis =
        MotionAnalysis::analyse(motion, setup, {}, FrameRange::all(motion.rowCount()));
    if (!analysis.ok())
        return;
    if (analysis.size() != motion.rowCount())
        __builtin_trap();
    int previous = 0;
    for (const GaitEvent& event : analysis.events) {
        if (event.frame < previous || event.frame >= motion.rowCount())
            __builtin_trap();
        previous = event.frame;
    }
    analysis.writeCsv(FuzzSupport::outputPath(QStringLiteral("analysis.csv")));
    analysis.writeEventsCsv(FuzzSupport::outputPath(QStringLiteral("events.csv")));
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::silenceDiagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BvhFile motion;
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    compareSplitRead(text, motion, readText(motion, text));
    if (!motion.root)
        return 0;
    const MotionSetup setup = chooseSetup(motion, size);
    walkFrames(motion, setup.convention);
    analyse(motion, setup);
    writeBackAndCompare(motion);
    exportTables(motion, setup.convention);
    return 0;
}
