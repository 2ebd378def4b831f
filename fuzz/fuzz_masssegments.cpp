// The mass-segment file reader, then binding and the centres of mass on a small motion. Beyond
// crashes, two properties are checked:
// - every centre belongs to a segment that has all four values;
// - the model written and read back has the same segments and joint names.

#include "fuzzsupport.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "physics/bvhmathobject.h"

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

static void computeCentres(BvhMathObject& physics)
{
    BvhFile& motion = smallMotion();
    physics.setBvhFile(&motion);
    physics.findMassJoints();
    for (int frame = 0; frame < motion.rowCount(); ++frame) {
        motion.setCurrentFrame(frame);
        const QList<Vector3f> centres = physics.computeSegmentCentres();
        physics.computeBodyCentre();
        for (const qsizetype segment : std::as_const(physics.segmentCentreIndices)) {
            if (segment < 0 || segment >= physics.getSegmentCount())
                __builtin_trap();
        }
        if (centres.size() != physics.segmentCentreIndices.size())
            __builtin_trap();
    }
    physics.exportMassCentreCsv(FuzzSupport::outputPath(QStringLiteral("centre.csv")), 0, -1);
}

static void writeBackAndCompare(const BvhMathObject& physics)
{
    const QString path = FuzzSupport::outputPath(QStringLiteral("written.xml"));
    if (!physics.writeMassSegments(path).ok)
        return;
    BvhMathObject reread;
    if (!reread.readMassSegments(path))
        __builtin_trap();
    if (reread.startJointNames != physics.startJointNames ||
        reread.endJointNames != physics.endJointNames)
        __builtin_trap();
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
    BvhMathObject physics;
    if (!physics.readMassSegments(path))
        return 0;
    computeCentres(physics);
    writeBackAndCompare(physics);
    return 0;
}
