// The mass-segment file reader, then binding and the centres of mass on a small motion; the
// same bytes read as a skeleton profile, fitted to that motion. Beyond crashes, three
// properties are checked:
// - every centre belongs to a bound segment of the model;
// - the model written and read back has the same segments and joint names;
// - a profile's model fitted to a skeleton keeps its segments and their numbers.

#include "fuzzsupport.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "physics/masssegmentfile.h"
#include "skeleton/skeletonprofilefile.h"

#include <QBuffer>
#include <QFile>

#include <cstddef>
#include <cstdint>

// Hips -> Spine -> End Site and Hips -> LeftLeg -> End Site, three frames.
static const char motionText[] = "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n"
                                 "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation "
                                 "Yrotation\n"
                                 "\tJOINT Spine\n\t{\n\t\tOFFSET 0 10 0\n"
                                 "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
                                 "\t\tEnd Site\n\t\t{\n\t\t\tOFFSET 0 5 0\n\t\t}\n\t}\n"
                                 "\tJOINT LeftLeg\n\t{\n\t\tOFFSET 3 -2 0\n"
                                 "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
                                 "\t\tEnd Site\n\t\t{\n\t\t\tOFFSET 0 -8 0\n\t\t}\n\t}\n}\n"
                                 "MOTION\nFrames: 3\nFrame Time: 0.5\n"
                                 "1 2 3 10 20 30 40 50 60 70 80 90\n"
                                 "0 0 0 0 0 0 0 0 0 0 0 0\n"
                                 "-1 -2 -3 180 -90 45 5 6 7 8 9 10\n";

static BvhFile& smallMotion()
{
    static BvhFile* motion = [] {
        auto* loaded = new BvhFile;
        QBuffer buffer;
        buffer.setData(QByteArray(motionText));
        buffer.open(QIODevice::ReadOnly);
        BvhReader(*loaded).read(buffer);
        return loaded;
    }();
    return *motion;
}

static void computeCentres(const MassSegmentModel& segments)
{
    const BvhFile& motion = smallMotion();
    PoseEvaluator pose(motion.root, PoseConvention::ipiStudio());
    const SegmentBinding binding = SegmentBinding::bind(segments, pose.getJoints());
    if (qsizetype(binding.bound.size()) + binding.unboundSegments.size() != segments.size())
        __builtin_trap();
    CentresOfMass centres;
    for (int frame = 0; frame < motion.rowCount(); ++frame) {
        const std::span<const double> row = motion.frames[frame];
        pose.evaluateRow(row);
        CentreOfMass::compute(segments, binding, pose.getPositions(), centres);
        for (const qsizetype segment : centres.segmentIndices) {
            if (segment < 0 || segment >= segments.size() ||
                binding.unboundSegments.contains(segment))
                __builtin_trap();
        }
        if (centres.segmentCentres.size() != centres.segmentIndices.size())
            __builtin_trap();
    }
    CentreOfMass::writeCsv(motion, segments, FuzzSupport::outputPath(QStringLiteral("centre.csv")),
                           ExportOptions::wholeMotion(motion, PoseConvention::ipiStudio()));
}

static void writeBackAndCompare(const MassSegmentModel& segments)
{
    const QString path = FuzzSupport::outputPath(QStringLiteral("written.xml"));
    if (!MassSegmentFile::write(path, segments).ok)
        return;
    const MassSegmentReadResult reread = MassSegmentFile::read(path);
    if (!reread.ok || reread.segments.size() != segments.size())
        __builtin_trap();
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (reread.segments[i].startJoint != segments[i].startJoint ||
            reread.segments[i].endJoint != segments[i].endJoint)
            __builtin_trap();
    }
}

static void fitProfile(const QString& path)
{
    const SkeletonProfileReadResult read = SkeletonProfileFile::read(path);
    if (!read.ok)
        return;
    const QList<BvhJoint*> joints = smallMotion().root->getAllJoints();
    const SkeletonProfile::FittedModel fitted = read.profile.fit(joints);
    if (fitted.segments.size() != read.profile.segments.size())
        __builtin_trap();
    for (qsizetype i = 0; i < fitted.segments.size(); ++i) {
        const MassSegment& segment = fitted.segments[i];
        const MassSegment& original = read.profile.segments[i];
        if (!(segment.mass == original.mass || (segment.mass != segment.mass)) ||
            !(segment.proximalDistance == original.proximalDistance ||
              segment.proximalDistance != segment.proximalDistance))
            __builtin_trap();
    }
    read.profile.recognisedJoints(joints);
    read.profile.jointNameFor(QStringLiteral("left ankle"), joints);
    computeCentres(fitted.segments);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::silenceDiagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = FuzzSupport::outputPath(QStringLiteral("segments.xml"));
    {
        QFile input(path);
        if (!input.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        input.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    fitProfile(path);
    const MassSegmentReadResult model = MassSegmentFile::read(path);
    if (!model.ok)
        return 0;
    computeCentres(model.segments);
    writeBackAndCompare(model.segments);
    return 0;
}
