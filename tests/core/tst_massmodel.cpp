#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "physics/centreofmass.h"
#include "physics/motionsetup.h"
#include "physics/skeletonprofiles.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using TestSupport::segmentModel;
using TestSupport::segmentText;

// The mass-segment model: its XML file (layout, round trip, damaged files), the binding of
// segment joint names to the joints of a motion, the segment and whole-body centres of mass on
// the small test skeleton, and the shipped samples.
class TestMassModel : public QObject
{
    Q_OBJECT

private:
    // The joint positions of frame `frame`.
    std::vector<Vector3f> pose(int frame) const
    {
        PoseEvaluator evaluator(motion.root);
        evaluator.evaluateRow(motion.frames[frame].constData(), motion.frames[frame].size());
        return evaluator.getPositions();
    }

    BvhFile motion;
    BvhMathObject object;
    const QString samples = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/");

private slots:
    // Hips -> Spine -> End Site (offsets (0, 10, 0) and (0, 5, 0)) and Hips -> LeftLeg ->
    // End Site ((3, -2, 0), (0, -8, 0)); the root at (1, 2, 3), nothing rotated: Hips
    // (1, 2, 3), Spine (1, 12, 3), its End Site (1, 17, 3), LeftLeg (4, 0, 3), its End Site
    // (4, -8, 3). Frame 1 is 20 units higher.
    void init()
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2)));
        motion.frames = {{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                         {1, 22, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
        object.setBvhFile(&motion);
    }

    void centres_data()
    {
        QTest::addColumn<QString>("segments");
        QTest::addColumn<double>("hipsZRotation");
        QTest::addColumn<Vector3f>("expected");
        QTest::newRow("midpoint") << "Hips>Spine 0.5 1" << 0.0 << Vector3f(1, 7, 3);
        QTest::newRow("beyond the end joint") << "Hips>Spine 1.5 1" << 0.0 << Vector3f(1, 17, 3);
        QTest::newRow("before the start joint") << "Spine>Hips -0.5 1" << 0.0 << Vector3f(1, 17, 3);
        QTest::newRow("end site") << "Spine>End Site 0.4 1" << 0.0 << Vector3f(1, 14, 3);
        QTest::newRow("across branches") << "LeftLeg>Spine 0.25 1" << 0.0 << Vector3f(3.25, 3, 3);
        // Hips turned 90 degrees about z carries Spine from (0, 10, 0) to (-10, 0, 0).
        QTest::newRow("rotated pose") << "Hips>Spine 0.5 1" << 90.0 << Vector3f(-4, 2, 3);
        // Segment centres (1, 7, 3) and LeftLeg itself, (4, 0, 3), weighted by their masses.
        QTest::newRow("ones give the sum, not the mean")
            << "Hips>Spine 0.5 1;LeftLeg>Spine 0 1" << 0.0 << Vector3f(5, 7, 6);
        QTest::newRow("unequal fractions")
            << "Hips>Spine 0.5 0.75;LeftLeg>Spine 0 0.25" << 0.0 << Vector3f(1.75, 5.25, 3);
        QTest::newRow("zero mass")
            << "Hips>Spine 0.5 0;LeftLeg>Spine 0 1" << 0.0 << Vector3f(4, 0, 3);
        QTest::newRow("empty model gives the origin") << "" << 0.0 << Vector3f(0, 0, 0);
    }

    void centres()
    {
        QFETCH(QString, segments);
        QFETCH(double, hipsZRotation);
        QFETCH(Vector3f, expected);
        motion.frames[0][3] = hipsZRotation;
        object.setSegments(segmentModel(segments));
        const CentresOfMass& centres = object.computeCentres(pose(0));
        QCOMPARE(qsizetype(centres.segmentCentres.size()),
                 segments.count(';') + !segments.isEmpty());
        QVERIFY2(TestSupport::nearlyEqual(centres.body, expected),
                 qPrintable(TestSupport::toString(centres.body)));
    }

    // A segment whose joint the motion lacks must neither crash nor shift the other segments'
    // masses onto the wrong centres; each pose replaces the centres of the last. Positions
    // that no longer reach a bound joint give no centre; without a motion nothing is bound.
    void unboundSegmentsAndMissingJoints()
    {
        object.setSegments(
            segmentModel("Hips>Spine 0.5 0.5;Tail>Spine 0.5 100;LeftLeg>Spine 0 0.5"));
        QCOMPARE(object.getBinding().missingJoints, QStringList{"Tail"});
        object.computeCentres(pose(1));
        const CentresOfMass& centres = object.computeCentres(pose(0));
        QCOMPARE(centres.segmentIndices, (std::vector<qsizetype>{0, 2}));
        QVERIFY(TestSupport::nearlyEqual(centres.segmentCentres[1], Vector3f(4, 0, 3)));
        QVERIFY(TestSupport::nearlyEqual(centres.body, Vector3f(2.5, 3.5, 3)));
        const std::vector<Vector3f> positions = pose(0);
        QCOMPARE(object.computeCentres({positions.data(), 2}).segmentIndices,
                 (std::vector<qsizetype>{0}));
        object.setBvhFile(nullptr);
        QVERIFY(object.getBinding().bound.empty());
        QVERIFY(object.computeCentres(positions).segmentCentres.empty());
        QCOMPARE(object.computeCentres({}).body, Vector3f(0, 0, 0));
    }

    // A name binds to the first joint in pre-order with exactly that name ("End Site" is the
    // one after Spine, "LeftLeg/End Site" the one below LeftLeg); a name the skeleton lacks is
    // missing once, in the model's order.
    void bindingByExactName()
    {
        const SegmentBinding binding = SegmentBinding::bind(
            segmentModel("Hips>Spine 0.5 0.5;Spine>End Site 0.5 0.25;hips>LeftLeg 0.5 0.25;"
                         "Tail>hips 0 0;LeftLeg>Hips 0 0;LeftLeg>LeftLeg/End Site 0 0;"
                         "Hips>Hips/End Site 0 0"),
            motion.root->getAllJoints());
        QString bound;
        for (const BoundSegment& b : binding.bound)
            bound +=
                QString::asprintf("%d:%d-%d ", int(b.segment), int(b.startJoint), int(b.endJoint));
        QCOMPARE(bound, QStringLiteral("0:0-1 1:1-2 4:3-0 5:3-4 "));
        QCOMPARE(binding.unboundSegments, (QList<qsizetype>{2, 3, 6}));
        QCOMPARE(binding.missingJoints, (QStringList{"hips", "Tail", "Hips/End Site"}));
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
        QCOMPARE(
            CentreOfMass::writeCsv(motion, segments, table, ExportOptions::wholeMotion(motion)).ok,
            problems == 0);
        QCOMPARE(QFile::exists(table), problems == 0);
    }

    // defaultMassSegments.xml of the working folder is the model of a skeleton it fits, and
    // the profile's model that of one it does not.
    void workingFolderModelOnlyWhereItFits()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(samples + "defaultMassSegments.xml",
                            dir.filePath("defaultMassSegments.xml")));
        BvhFile walk, cmu;
        QVERIFY(BvhReader(walk).read(samples + "walk.bvh").ok());
        QVERIFY(BvhReader(cmu).read(TestSupport::dataPath("real/cmu_01_14.bvh")).ok());
        const SkeletonProfiles profiles = SkeletonProfiles::load({});
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const MotionSetup forWalk = MotionSetup::choose(profiles, walk.root, {});
        const MotionSetup forCmu = MotionSetup::choose(profiles, cmu.root, {});
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(forWalk.modelFile, QStringLiteral("defaultMassSegments.xml"));
        QVERIFY(forCmu.modelFile.isEmpty() && forCmu.binding.isComplete());
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
    }

    // Each file of tests/data/input/masssegments replaces the model read before; the
    // segments read, written as "start>end distance mass;", and the warnings in one transcript.
    void readingReplacesModel()
    {
        QDir input(TestSupport::dataPath("input/masssegments"));
        QStringList names = input.entryList(QDir::Files);
        names.sort();
        QString all;
        for (const QString& name : names) {
            object.setSegments(segmentModel("Old>Older 0.1 0.2;Old2>Older2 0.3 0.4;"));
            const MassSegmentReadResult result = object.readMassSegments(input.filePath(name));
            QVERIFY(result.ok);
            all += "== " + name + "\n" + segmentText(object.getSegments()) + "\n";
            for (const QString& warning : result.warnings)
                all += "warning: " + warning + "\n";
        }
        QCOMPARE(all,
                 TestSupport::readFile(TestSupport::dataPath("expected/masssegments-read.txt")));
    }

    // The model of the current directory's defaultMassSegments.xml, else the shipped one,
    // which is whole (14 segments) and in the program's own layout:
    // read and written again, it comes out the same.
    void defaultModel()
    {
        QTemporaryDir dir;
        const MassSegmentReadResult shipped =
            MassSegmentFile::read(samples + "defaultMassSegments.xml");
        QVERIFY(shipped.ok && shipped.segments.size() == 14);
        QVERIFY(MassSegmentFile::write(dir.filePath("model.xml"), shipped.segments).ok);
        QCOMPARE(TestSupport::readFile(dir.filePath("model.xml")),
                 TestSupport::readFile(samples + "defaultMassSegments.xml"));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const BvhMathObject withoutFile;
        QVERIFY(QFile::copy(TestSupport::dataPath("input/masssegments/empty-start-joint.xml"),
                            "defaultMassSegments.xml"));
        const BvhMathObject withFile;
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(withoutFile.getSegments(), shipped.segments);
        QCOMPARE(segmentText(withFile.getSegments()), QStringLiteral(">B 2 1;"));
    }

    // On the shipped walk every segment is bound (the head's to the head's End Site, not a
    // hand's or a toe's), and in every frame the whole-body centre sits a little above the
    // hip joints, left to right between the feet.
    void centreOfTheShippedWalkIsPlausible()
    {
        motion.clear();
        QVERIFY(BvhReader(motion).read(samples + "walk.bvh").ok());
        QVERIFY(object.readMassSegments(samples + "defaultMassSegments.xml").ok);
        const SegmentBinding& binding = object.getBinding();
        QVERIFY2(binding.missingJoints.isEmpty() && binding.bound.size() == 14,
                 qPrintable(binding.missingJoints.join(' ')));
        PoseEvaluator pose(motion.root);
        const QList<BvhJoint*>& joints = pose.getJoints();
        QCOMPARE(joints[binding.bound[0].endJoint]->getParentJoint()->getName(),
                 QStringLiteral("Head"));
        const qsizetype leftFoot = joints.indexOf(motion.root->getJointByName("LFoot"));
        const qsizetype rightFoot = joints.indexOf(motion.root->getJointByName("RFoot"));
        for (int frame = 0; frame < motion.rowCount(); ++frame) {
            pose.evaluateRow(motion.frames[frame].constData(), motion.frames[frame].size());
            const Vector3f centre = object.computeCentres(pose.getPositions()).body;
            const Vector3f pelvis = pose.getPosition(0);
            const auto [left, right] =
                std::minmax({pose.getPosition(leftFoot).x(), pose.getPosition(rightFoot).x()});
            QVERIFY2(centre.y() > pelvis.y() && centre.y() < pelvis.y() + 15 &&
                         qAbs(centre.z() - pelvis.z()) < 8 && centre.x() > left &&
                         centre.x() < right,
                     qPrintable(QString::number(frame) + ": " + TestSupport::toString(centre)));
        }
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
};

QTEST_GUILESS_MAIN(TestMassModel)
#include "tst_massmodel.moc"
