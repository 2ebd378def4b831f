#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "physics/masssegmentfile.h"
#include "physics/segmentbinding.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <numeric>

using TestSupport::segmentModel;
using TestSupport::segmentText;

// The mass-segment model: its XML file (layout, round trip, damaged files), the binding of
// segment joint names to the joints of a motion, the segment and whole-body centres of mass on
// the small test skeleton, and the shipped samples.
class TestMassModel : public QObject
{
    Q_OBJECT

private:
    static QByteArray segmentXml(const QByteArray& children)
    {
        return "<BvhMassProperties><Segment>" + children + "</Segment></BvhMassProperties>";
    }

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
    // one after Spine); a name the skeleton lacks is missing once, in the model's order.
    void bindingByExactName()
    {
        const SegmentBinding binding = SegmentBinding::bind(
            segmentModel("Hips>Spine 0.5 0.5;Spine>End Site 0.5 0.25;hips>LeftLeg 0.5 0.25;"
                         "Tail>hips 0 0;LeftLeg>Hips 0 0"),
            motion.root->getAllJoints());
        QString bound;
        for (const BoundSegment& segment : binding.bound)
            bound += QStringLiteral("%1:%2-%3 ")
                         .arg(segment.segment)
                         .arg(segment.startJoint)
                         .arg(segment.endJoint);
        QCOMPARE(bound, QStringLiteral("0:0-1 1:1-2 4:3-0 "));
        QCOMPARE(binding.unboundSegments, (QList<qsizetype>{2, 3}));
        QCOMPARE(binding.missingJoints, (QStringList{"hips", "Tail"}));
    }

    // Six significant digits, markup escaped, an empty name as empty text. Read back and
    // written again, the file comes out the same.
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
        const QByteArray expected =
            TestSupport::readFile(TestSupport::dataPath("expected/masssegments.xml"));
        QCOMPARE(TestSupport::readFile(path), expected);
        const MassSegmentReadResult read = MassSegmentFile::read(path);
        QVERIFY(read.ok && read.warnings.isEmpty());
        QVERIFY(MassSegmentFile::write(path, read.segments).ok);
        QCOMPARE(TestSupport::readFile(path), expected);
    }

    void readingReplacesModel_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("warnings");
        const QByteArray ab = "<StartJoint>A</StartJoint><EndJoint>B</EndJoint>";
        const QByteArray values = ab + "<ProximalDistance>0.5</ProximalDistance>";
        QTest::newRow("no segment empties the model")
            << QByteArray("<BvhMassProperties/>") << "" << QStringList();
        QTest::newRow("other root name")
            << "<Body><Segment>" + values + "<Mass>0.25</Mass></Segment></Body>"
            << "A>B 0.5 0.25;" << QStringList();
        QTest::newRow("not a number reads as zero")
            << segmentXml(values + "<Mass>heavy</Mass>") << "A>B 0.5 0;" << QStringList();
        QTest::newRow("unknown children ignored")
            << segmentXml("<Colour>red</Colour>" + values + "<Mass>1e-2</Mass>") << "A>B 0.5 0.01;"
            << QStringList();
        QTest::newRow("empty start joint")
            << segmentXml("<StartJoint/><EndJoint>B</EndJoint><ProximalDistance>2"
                          "</ProximalDistance><Mass>1</Mass>")
            << ">B 2 1;" << QStringList();
        // A segment missing one of its values is left out whole, and named.
        QTest::newRow("incomplete segment left out")
            << segmentXml(values + "<Mass>1</Mass></Segment><Segment>" + values +
                          "</Segment><Segment>" + ab +
                          "<ProximalDistance>3</ProximalDistance><Mass>4</Mass>")
            << "A>B 0.5 1;A>B 3 4;" << QStringList{"Segment 2 has no Mass and is left out."};
        QTest::newRow("repeated value keeps the first")
            << segmentXml(ab + "<EndJoint>C</EndJoint><ProximalDistance>0.5</ProximalDistance>"
                               "<Mass>1</Mass>")
            << "A>B 0.5 1;" << QStringList{"Segment 1 repeats EndJoint; the first is used."};
    }

    void readingReplacesModel()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QFETCH(QStringList, warnings);
        object.setSegments(segmentModel("Old>Older 0.1 0.2;Old2>Older2 0.3 0.4;"));
        QTemporaryDir dir;
        const MassSegmentReadResult result =
            object.readMassSegments(TestSupport::writeFile(dir, "m.xml", xml));
        QVERIFY(result.ok);
        QCOMPARE(result.warnings, warnings);
        QCOMPARE(segmentText(object.getSegments()), expected);
    }

    // A file that cannot be read or written names itself, and reading leaves the model be.
    // (Damaged files are refused as hostile input elsewhere.)
    void failures()
    {
        QTemporaryDir dir;
        const QString absent = dir.filePath(QStringLiteral("absent.xml"));
        object.setSegments(segmentModel("Hips>Chest 0.5 1;"));
        const MassSegmentReadResult read = object.readMassSegments(absent);
        QVERIFY2(!read.ok && read.errorString.contains("Cannot read") &&
                     read.errorString.contains(absent),
                 qPrintable(read.errorString));
        QCOMPARE(segmentText(object.getSegments()), QStringLiteral("Hips>Chest 0.5 1;"));
        const QString unwritable = dir.filePath(QStringLiteral("no such folder/model.xml"));
        const WriteResult result = object.writeMassSegments(unwritable);
        QVERIFY(!result.ok && !result.errorString.isEmpty());
        QCOMPARE(result.fileName, unwritable);
    }

    // The model of the current directory's defaultMassSegments.xml, else the shipped one,
    // which is whole (14 segments, masses adding up to 1) and in the program's own layout.
    void defaultModel()
    {
        QTemporaryDir dir;
        const MassSegmentReadResult shipped =
            MassSegmentFile::read(samples + "defaultMassSegments.xml");
        QVERIFY(shipped.ok && shipped.segments.size() == 14);
        QCOMPARE(std::accumulate(shipped.segments.begin(), shipped.segments.end(), 0.0,
                                 [](double sum, const MassSegment& s) { return sum + s.mass; }),
                 1.0);
        QVERIFY(MassSegmentFile::write(dir.filePath("model.xml"), shipped.segments).ok);
        QCOMPARE(TestSupport::readFile(dir.filePath("model.xml")),
                 TestSupport::readFile(samples + "defaultMassSegments.xml"));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const BvhMathObject withoutFile;
        TestSupport::writeFile(dir, "defaultMassSegments.xml",
                               segmentXml("<StartJoint>Hips</StartJoint><EndJoint>Neck"
                                          "</EndJoint><ProximalDistance>0.4862"
                                          "</ProximalDistance><Mass>0.4346</Mass>"));
        const BvhMathObject withFile;
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(withoutFile.getSegments(), shipped.segments);
        QCOMPARE(segmentText(withFile.getSegments()), QStringLiteral("Hips>Neck 0.4862 0.4346;"));
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
            QVERIFY2(
                centre.y() > pelvis.y() && centre.y() < pelvis.y() + 15 &&
                    qAbs(centre.z() - pelvis.z()) < 8 && centre.x() > left && centre.x() < right,
                qPrintable(QStringLiteral("frame %1: centre %2, pelvis %3")
                               .arg(frame)
                               .arg(TestSupport::toString(centre), TestSupport::toString(pelvis))));
        }
    }
};

QTEST_GUILESS_MAIN(TestMassModel)
#include "tst_massmodel.moc"
