#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <utility>

// Files made to break the readers: too deep, too long, not regular files, XML bombs. (Damaged
// BVH files of every other kind are read and written back in tst_bvhfile.)
class TestHostileInput : public QObject
{
    Q_OBJECT

private:
    // The model file at `path` is refused for `reason`, and the model read before is kept.
    static void modelIsRefused(const QString& path, const QString& reason)
    {
        const MassSegmentModel kept{{QStringLiteral("Kept"), QStringLiteral("Neck"), 0.5, 1}};
        BvhMathObject physics;
        physics.setSegments(kept);
        const MassSegmentReadResult result = physics.readMassSegments(path);
        QVERIFY(!result.ok);
        QVERIFY2(result.errorString.contains(reason), qPrintable(result.errorString));
        QCOMPARE(physics.getSegments(), kept);
    }

    // The high-water mark of resident memory in kB, which writing "5" to clear_refs resets.
    static qint64 peakResidentKb()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : "";
        const qsizetype at = text.indexOf("VmHWM:");
        return at < 0 ? -1 : text.mid(at + 6, 20).simplified().split(' ').first().toLongLong();
    }

private slots:
    void deepHierarchyIsCutEverywhere()
    {
        QByteArray text = "HIERARCHY\nROOT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n";
        text += QByteArray("JOINT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n").repeated(100000);
        text += QByteArray("}\n").repeated(100001) + "MOTION\nFrames: 2\nFrame Time: 0.5\n0\n\n";
        BvhFile file;
        const BvhReadResult result = TestSupport::readBvh(file, text);
        QVERIFY(result.ok());
        QVERIFY(result.warnings.join(' ').contains(QLatin1String("deeper than 1000 levels")));
        const QList<BvhJoint*> joints = file.root->getAllJoints();
        QCOMPARE(joints.size(), BvhReader::maxDepth);
        QCOMPARE(file.rowCount(), 2);
        file.loadFrame(0);
        PoseEvaluator pose(file.root);
        pose.evaluate();
        // Every offset is one unit up and no joint turns: the deepest is 1000 units up.
        QCOMPARE(pose.getPositions().back(), Vector3f(0, 1000, 0));
        // Every path that walks the joints does so without recursion.
        QTemporaryDir dir;
        const ExportOptions options = ExportOptions::wholeMotion(file);
        QVERIFY(JointTables::writeRotations(file, dir.filePath("r.csv"), options).ok);
        QVERIFY(JointTables::writePositions(file, dir.filePath("p.csv"), options).ok);
        QVERIFY(C3DExport::exportMotion(file, dir.filePath(QStringLiteral("m.c3d")), nullptr).ok);
        const std::string text = BvhWriter(file).toText(FrameRange::all(file.rowCount()));
        BvhFile reread;
        QVERIFY(TestSupport::loadMotion(reread, QByteArray::fromStdString(text)));
        QCOMPARE(BvhWriter(reread).toText(FrameRange::all(2)), text);
    }

    // A line of hundreds of megabytes, in a frame row or a CHANNELS line, costs about its own
    // size: anything held per value or per token would cost several times as much.
    void longLineCostsItsOwnSize()
    {
        const QByteArray motion = "MOTION\nFrames: 2\nFrame Time: 1\n";
        const qsizetype length = qsizetype(100) << 20;
        for (const bool inChannels : {false, true}) {
            QByteArray text = "HIERARCHY\nROOT A\n{\nCHANNELS 2 ";
            if (inChannels)
                text += QByteArray("Xrotation ").repeated(length / 10) + "\n}\n" + motion +
                        "1 2\n3 4\n";
            else
                text += "Xrotation Yrotation\n}\n" + motion +
                        QByteArray("1\t").repeated(length / 2) + "\n5\n";
            QBuffer device(&text);
            device.open(QIODevice::ReadOnly);
            QFile clearRefs(QStringLiteral("/proc/self/clear_refs")); // unbuffered: resets now
            const bool measured = clearRefs.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                                  clearRefs.write("5") == 1;
            const qint64 before = peakResidentKb();
            BvhFile file;
            QVERIFY(BvhReader(file).read(device).ok());
            QCOMPARE(file.root->getChannelName(0), QStringLiteral("Xrotation"));
            QCOMPARE(file.root->getNumChannels(), 2);
            QCOMPARE(file.rowCount(), 2);
#if !defined(__SANITIZE_ADDRESS__)
            const qint64 peak = peakResidentKb() - before;
            if (measured)
                QVERIFY2(peak * 1024 < length + length / 4, qPrintable(QString::number(peak)));
#endif
            Q_UNUSED(measured);
            Q_UNUSED(before);
        }
    }

    // Opening a named pipe would wait for a writer for ever; a directory is no file; XML nested
    // too deep, with entities that expand a billion times, or simply too large is refused.
    void hostileFilesAreRefused()
    {
        QTemporaryDir dir;
        const QString pipe = dir.filePath(QStringLiteral("pipe.bvh"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        for (const QString& path : {pipe, dir.path()}) {
            BvhFile file;
            const BvhReadResult result = BvhReader(file).read(path);
            QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
            QVERIFY(result.errorString.contains(QLatin1String("not a regular file")));
            modelIsRefused(path, QStringLiteral("not a regular file"));
        }
        const QByteArray segment = "<Segment><StartJoint>Hips</StartJoint><EndJoint>Spine"
                                   "</EndJoint><ProximalDistance>0.5</ProximalDistance><Mass>1"
                                   "</Mass></Segment>";
        QByteArray laughs = "<!DOCTYPE BvhMassProperties [\n<!ENTITY l0 \"lol\">\n";
        for (int i = 1; i < 10; ++i) {
            laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                      ("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
        }
        const QList<std::pair<QByteArray, QString>> files = {
            {"<BvhMassProperties>" + QByteArray("<a>").repeated(100000) + segment +
                 QByteArray("</a>").repeated(100000) + "</BvhMassProperties>",
             "deeper than 256 levels"},
            {laughs + "]>\n<BvhMassProperties>" + QByteArray(segment).replace("Hips", "&l9;") +
                 "</BvhMassProperties>",
             "not an XML file"},
            {"<BvhMassProperties>" + segment.repeated(40000) + "</BvhMassProperties>",
             "larger than"}};
        for (const auto& [text, reason] : files)
            modelIsRefused(TestSupport::writeFile(dir, QStringLiteral("m.xml"), text), reason);
    }
};

QTEST_GUILESS_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
