#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "physics/masssegmentfile.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <limits>
#include <sys/stat.h>

using TestSupport::segmentModel;
using TestSupport::segmentText;

// The mass-segment model: its XML file (layout, round trip, damaged and hostile files), the
// binding of segment joint names to the joints of a motion, the segment and whole-body centres
// of mass on the small test skeleton, the shipped samples and the skeleton profiles.
class TestMassModel : public QObject
{
    Q_OBJECT

private:
    // The joint positions of frame `frame`.
    std::vector<Vector3f> pose(int frame) const
    {
        PoseEvaluator evaluator(motion.root, PoseConvention::ipiStudio());
        evaluator.evaluateRow(motion.frames[frame]);
        return evaluator.getPositions();
    }

    BvhFile motion;
    const QString samples = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/");

private slots:
    // The small skeleton, its root at (1, 2, 3) in frame 0 and 20 units higher in frame 1,
    // nothing turned.
    void init()
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2)));
        motion.frames = TestSupport::frameRows(
            {{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 22, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
    }

    // The cases of expected/centres.txt.
    void centres_data()
    {
        QTest::addColumn<QString>("segments");
        QTest::addColumn<double>("hipsZRotation");
        QTest::addColumn<Vector3f>("expected");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/centres.txt")))
            QTest::newRow(qPrintable(row.value(0)))
                << row.value(1) << row.value(2).toDouble() << TestSupport::toVector(row.value(3));
    }

    void centres()
    {
        QFETCH(QString, segments);
        QFETCH(double, hipsZRotation);
        QFETCH(Vector3f, expected);
        motion.frames.rowToChange(0)[3] = hipsZRotation;
        const MassSegmentModel model = segmentModel(segments);
        CentresOfMass centres;
        CentreOfMass::compute(model, SegmentBinding::bind(model, motion.root->getAllJoints()),
                              pose(0), centres);
        QCOMPARE(qsizetype(centres.segmentCentres.size()),
                 segments.count(';') + !segments.isEmpty());
        QVERIFY2(TestSupport::nearlyEqual(centres.body, expected),
                 qPrintable(TestSupport::toString(centres.body)));
    }

    // A name binds to the first joint in pre-order with exactly that name ("End Site" is the
    // one after Spine, "LeftLeg/End Site" the one below LeftLeg); a name the skeleton lacks is
    // missing once, in the model's order. The segments left unbound neither crash the centres
    // nor shift the other segments' masses onto the wrong centres; each pose replaces the
    // centres of the last, and positions that no longer reach a bound joint give no centre.
    void bindingByExactName()
    {
        const MassSegmentModel segments =
            segmentModel("Hips>Spine 0.5 0.5;Spine>End Site 0.5 0.25;hips>LeftLeg 0.5 0.25;"
                         "Tail>hips 0 0;LeftLeg>Hips 0 0;LeftLeg>LeftLeg/End Site 0 0;"
                         "Hips>Hips/End Site 0 0");
        const SegmentBinding binding = SegmentBinding::bind(segments, motion.root->getAllJoints());
        QString bound;
        for (const BoundSegment& b : binding.bound)
            bound +=
                QString::asprintf("%d:%d-%d ", int(b.segment), int(b.startJoint), int(b.endJoint));
        QCOMPARE(bound, QStringLiteral("0:0-1 1:1-2 4:3-0 5:3-4 "));
        QCOMPARE(binding.unboundSegments, (QList<qsizetype>{2, 3, 6}));
        QCOMPARE(binding.missingJoints, (QStringList{"hips", "Tail", "Hips/End Site"}));
        CentresOfMass centres;
        CentreOfMass::compute(segments, binding, pose(1), centres);
        CentreOfMass::compute(segments, binding, pose(0), centres);
        QCOMPARE(centres.segmentIndices, (std::vector<qsizetype>{0, 1, 4, 5}));
        // 0.5 (1, 7, 3) + 0.25 (1, 14.5, 3)
        QVERIFY(TestSupport::nearlyEqual(centres.body, Vector3f(0.75, 7.125, 2.25)));
        const std::vector<Vector3f> positions = pose(0);
        CentreOfMass::compute(segments, binding, {positions.data(), 2}, centres);
        QCOMPARE(centres.segmentIndices, (std::vector<qsizetype>{0}));
    }

    // Only a model that binds every segment, with fractions summing to 1 within 1 %, gives a
    // body centre and a centre-of-mass table; every other one says why, a sentence per
    // problem, and writes no file.
    void modelFit_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("problems");
        QTest::newRow("whole") << "Hips>Spine 0.5 0.6;LeftLeg>End Site 0.5 0.4" << 0;
        QTest::newRow("fractions 0.5 % short") << "Hips>Spine 0.5 0.6;Spine>Hips 0.5 0.395" << 0;
        QTest::newRow("fractions 2 % short") << "Hips>Spine 0.5 0.6;Spine>Hips 0.5 0.38" << 1;
        QTest::newRow("fractions 2 % over") << "Hips>Spine 0.5 0.6;Spine>Hips 0.5 0.42" << 1;
        QTest::newRow("unbound segments")
            << "Hips>Spine 0.5 0.5;Tail>Hips 0.5 0.25;Hips>Nose 0.5 0.25" << 2;
        QTest::newRow("unbound, and short") << "Hips>Spine 0.5 0.5;Tail>Hips 0.5 0.25" << 2;
        QTest::newRow("empty model") << "" << 1;
    }

    void modelFit()
    {
        QFETCH(QString, model);
        QFETCH(int, problems);
        const MassSegmentModel segments = segmentModel(model);
        const SegmentBinding binding = SegmentBinding::bind(segments, motion.root->getAllJoints());
        QCOMPARE(binding.isComplete(), problems == 0);
        QCOMPARE(binding.problems(segments).size(), problems);
        QTemporaryDir dir;
        const QString table = dir.filePath(QStringLiteral("centre.csv"));
        const ExportOptions options =
            ExportOptions::wholeMotion(motion, PoseConvention::ipiStudio());
        QCOMPARE(CentreOfMass::writeCsv(motion, segments, table, options).ok, problems == 0);
        QCOMPARE(QFile::exists(table), problems == 0);
    }

    // Six significant digits, markup escaped, an empty name as empty text.
    void writtenFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("model.xml"));
        QVERIFY(MassSegmentFile::write(path, {}).ok);
        QCOMPARE(TestSupport::readFile(path),
                 QByteArray("<!DOCTYPE BvhMassProperties>\n<BvhMassProperties/>\n"));
        QVERIFY(MassSegmentFile::write(path, {{"A&B <x>", "End Site", -2.54321987e-7, 0.0123456789},
                                              {"Neck", "", 0, 0}})
                    .ok);
        QCOMPARE(TestSupport::readFile(path),
                 TestSupport::readFile(TestSupport::dataPath("expected/masssegments.xml")));
        const WriteResult failed = MassSegmentFile::write(dir.filePath("none/model.xml"), {});
        QVERIFY(!failed.ok && failed.errorString.size() > 0 && !QFile::exists(failed.fileName));
    }

    // Each file of tests/data/input/masssegments: the segments read, written as
    // "start>end distance mass;", and the warnings (its part of expected/masssegments-read.txt).
    void fileRead_data()
    {
        QTest::addColumn<QString>("name");
        QDir input(TestSupport::dataPath("input/masssegments"));
        for (const QString& name : input.entryList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << name;
    }

    void fileRead()
    {
        QFETCH(QString, name);
        const MassSegmentReadResult result =
            MassSegmentFile::read(TestSupport::dataPath("input/masssegments/" + name));
        QVERIFY(result.ok);
        QString transcript = segmentText(result.segments) + "\n";
        for (const QString& warning : result.warnings)
            transcript += "warning: " + warning + "\n";
        QCOMPARE(transcript.toUtf8(),
                 TestSupport::section(TestSupport::dataPath("expected/masssegments-read.txt"),
                                      name.toUtf8()));
    }

    // A named pipe (opening it would wait for a writer for ever), a folder, a file that is not
    // there, XML nested too deep, with entities that expand a billion times, or simply too
    // large: each is refused, saying why.
    void hostileFilesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("text"); // written to `name` unless it is the pipe
        QTest::addColumn<QString>("reason");
        const QByteArray segment = "<Segment><StartJoint>Hips</StartJoint><EndJoint>Spine"
                                   "</EndJoint><ProximalDistance>0.5</ProximalDistance><Mass>1"
                                   "</Mass></Segment>";
        QTest::newRow("named pipe") << "pipe.xml" << QByteArray() << "not a regular file";
        QTest::newRow("folder") << "" << QByteArray() << "not a regular file";
        QTest::newRow("absent") << "absent.xml" << QByteArray() << "absent.xml";
        QTest::newRow("nested too deep")
            << "m.xml"
            << "<BvhMassProperties>" + QByteArray("<a>").repeated(100000) + segment +
                   QByteArray("</a>").repeated(100000) + "</BvhMassProperties>"
            << "deeper than 256 levels";
        QTest::newRow("billion laughs")
            << "m.xml" << TestSupport::readFile(TestSupport::dataPath("input/billion-laughs.xml"))
            << "not an XML file";
        QTest::newRow("too large")
            << "m.xml"
            << "<BvhMassProperties>" + segment.repeated(40000) + "</BvhMassProperties>"
            << "larger than";
    }

    void hostileFilesAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.xml")).constData(), 0600) == 0);
        if (!text.isEmpty())
            TestSupport::writeFile(dir, name, text);
        const MassSegmentReadResult result = MassSegmentFile::read(dir.filePath(name));
        QVERIFY(!result.ok && result.segments.isEmpty());
        QVERIFY2(result.errorString.contains(reason), qPrintable(result.errorString));
    }

    // The shipped model is whole (14 segments) and in the program's own layout: read and
    // written again, it comes out the same. It is the default model unless the working folder
    // has a defaultMassSegments.xml, which is the model of a skeleton it fits (the walk's,
    // whose head segment ends at the head's End Site, not a hand's or a toe's), and the
    // profile's model that of one it does not.
    void shippedAndWorkingFolderModels()
    {
        const MassSegmentReadResult shipped =
            MassSegmentFile::read(samples + "defaultMassSegments.xml");
        QVERIFY(shipped.ok && shipped.segments.size() == 14);
        BvhFile walk, cmu;
        QVERIFY(BvhReader(walk).read(samples + "walk.bvh").ok());
        QVERIFY(BvhReader(cmu).read(TestSupport::dataPath("real/cmu_01_14.bvh")).ok());
        const SkeletonProfiles profiles = SkeletonProfiles::load({});
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const MassSegmentReadResult builtIn =
            MassSegmentFile::read(MassSegmentFile::defaultModelFile());
        QVERIFY(MassSegmentFile::write("defaultMassSegments.xml", shipped.segments).ok);
        const MotionSetup forWalk = MotionSetup::choose(profiles, walk, {});
        const MotionSetup forCmu = MotionSetup::choose(profiles, cmu, {});
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(TestSupport::readFile(dir.filePath("defaultMassSegments.xml")),
                 TestSupport::readFile(samples + "defaultMassSegments.xml"));
        QCOMPARE(builtIn.segments, shipped.segments);
        QCOMPARE(forWalk.modelFile, QStringLiteral("defaultMassSegments.xml"));
        QVERIFY(forWalk.binding.isComplete() && forWalk.segments == shipped.segments);
        const QList<BvhJoint*> joints = walk.root->getAllJoints();
        QCOMPARE(joints[forWalk.binding.bound[0].endJoint]->getParentJoint()->getName(),
                 QStringLiteral("Head"));
        QVERIFY(forCmu.modelFile.isEmpty() && forCmu.binding.isComplete());
    }

    // A folder's *.profile.xml files come after the built-in profiles and replace those of
    // their name; a file that cannot be read, or names a model that cannot be, is left out
    // and named in a warning. Landmarks resolve through case and prefix to the skeleton's own
    // names, and detection picks the one profile that binds.
    void profileFolders()
    {
        const SkeletonProfiles builtIn = SkeletonProfiles::load({});
        const SkeletonProfiles profiles =
            SkeletonProfiles::load({TestSupport::dataPath("input/profiles")});
        QCOMPARE(profiles.getProfiles().size(), builtIn.getProfiles().size());
        const QStringList warnings = profiles.getWarnings();
        QVERIFY2(warnings.size() == 3 && warnings.filter("broken.profile.xml").size() == 1 &&
                     warnings.filter("rotationOrder=\"zyx\"").size() == 1 &&
                     warnings.filter("missing.xml").size() == 1,
                 qPrintable(warnings.join('\n')));
        const SkeletonProfile* mine = profiles.find(QStringLiteral("ipi"));
        QVERIFY(mine && mine->title == QLatin1String("My iPi"));
        QCOMPARE(mine->convention, (PoseConvention{RotationOrder::Declared,
                                                   PositionChannels::ReplaceOffset, 3.1416f}));
        QCOMPARE(mine->unit, (LengthUnit{"quarter inches", 25.0}));

        motion.root->setName(QStringLiteral("rig:hips"));
        const SkeletonProfiles::Match match = profiles.detect(motion.root->getAllJoints());
        QCOMPARE(profiles.getProfiles()[match.profile].name, QStringLiteral("ipi"));
        QCOMPARE(segmentText(match.model.segments),
                 QStringLiteral("rig:hips>Spine/End Site 0.5 1;"));
        QCOMPARE(match.model.laterNames, 1);
        QVERIFY(match.binding.isComplete());
    }

    void landmarkNames_data()
    {
        QTest::addColumn<QString>("file");   // under tests/data/input
        QTest::addColumn<QString>("name");   // of the profile's landmark
        QTest::addColumn<QString>("joint");  // empty: the skeleton has none
        QTest::addColumn<int>("recognised"); // joints the profile knows: Hips, the landmark's
        QTest::newRow("an End Site") << "small-hierarchy.bvh"
                                     << "End Site"
                                     << "End Site" << 1;
        QTest::newRow("the End Site below a joint") << "small-hierarchy.bvh"
                                                    << "LeftLeg/End Site"
                                                    << "LeftLeg/End Site" << 1;
        QTest::newRow("no End Site in the skeleton") << "leaf-joints.bvh"
                                                     << "End Site"
                                                     << "" << 1;
        QTest::newRow("a leaf joint is no End Site") << "leaf-joints.bvh"
                                                     << "Head/End Site"
                                                     << "" << 1;
        QTest::newRow("a joint") << "leaf-joints.bvh"
                                 << "HeadTop"
                                 << "HeadTop" << 2;
    }

    // A landmark named "End Site" or "Joint/End Site" is found only where the skeleton has
    // such an End Site; the joints a profile knows never count End Sites, even when it names
    // them.
    void landmarkNames()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, joint);
        QFETCH(int, recognised);
        BvhFile skeleton;
        QVERIFY(BvhReader(skeleton).read(TestSupport::dataPath("input/" + file)).ok());
        SkeletonProfile profile;
        profile.landmarks = {{QStringLiteral("top"), {name}}};
        profile.skeletonJoints = {QStringLiteral("Hips"), QStringLiteral("End Site")};
        const QList<BvhJoint*> joints = skeleton.root->getAllJoints();
        QCOMPARE(profile.jointNameFor(QStringLiteral("top"), joints), joint);
        QCOMPARE(profile.recognisedJoints(joints), recognised);
    }

    void upAxis_data()
    {
        QTest::addColumn<double>("turn");     // about x, degrees, added to the root in every frame
        QTest::addColumn<int>("brokenFrame"); // a frame whose root turn is no number; -1: none
        QTest::addColumn<Vector3f>("up");
        QTest::newRow("standing along y") << 0.0 << -1 << Vector3f(0, 1, 0);
        QTest::newRow("standing along z") << 90.0 << -1 << Vector3f(0, 0, 1);
        QTest::newRow("upside down") << 180.0 << -1 << Vector3f(0, -1, 0);
        QTest::newRow("along z, one frame not a number") << 90.0 << 24 << Vector3f(0, 0, 1);
    }

    // The axis the sample walk stands along, turned as a Z-up producer or an upside-down
    // recording would have it; a frame that poses to no number is passed over.
    void upAxis()
    {
        QFETCH(double, turn);
        QFETCH(int, brokenFrame);
        QFETCH(Vector3f, up);
        BvhFile walk;
        QVERIFY(BvhReader(walk).read(samples + "walk.bvh").ok());
        for (int row = 0; row < walk.rowCount(); ++row)
            walk.frames.rowToChange(row)[4] += turn; // the root's Xrotation
        if (brokenFrame >= 0)
            walk.frames.rowToChange(brokenFrame)[4] = std::numeric_limits<double>::infinity();
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load({}), walk, {});
        QCOMPARE(setup.upAxisOf(walk), up);
    }
};

QTEST_GUILESS_MAIN(TestMassModel)
#include "tst_massmodel.moc"
