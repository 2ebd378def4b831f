#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QTest>

// Segment and whole-body centres of mass on the small test skeleton: Hips -> Spine -> End Site
// (offsets (0, 10, 0) and (0, 5, 0)) and Hips -> LeftLeg -> End Site ((3, -2, 0), (0, -8, 0)).
class TestCentreOfMass : public QObject
{
    Q_OBJECT

private:
    // Segments written as "start>end distance mass;", bound to the motion.
    void bind(BvhMathObject& object, const QString& segments)
    {
        TestSupport::setSegments(object, segments);
        object.setBvhFile(&motion);
        object.findMassJoints();
    }

    BvhFile motion;

private slots:
    void init()
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2)));
        // Root at (1, 2, 3), nothing rotated: Hips (1, 2, 3), Spine (1, 12, 3), its End Site
        // (1, 17, 3), LeftLeg (4, 0, 3), its End Site (4, -8, 3). Frame 1 is 20 units higher.
        motion.frames = {{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                         {1, 22, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
        motion.setCurrentFrame(0);
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
        motion.setCurrentFrame(0);
        BvhMathObject object;
        bind(object, segments);
        const QList<Vector3f> centres = object.computeSegmentCentres();
        QCOMPARE(centres.size(), segments.count(';') + !segments.isEmpty());
        QCOMPARE(object.segmentCentres, centres);
        const Vector3f body = object.computeBodyCentre();
        QVERIFY2(TestSupport::nearlyEqual(body, expected), qPrintable(TestSupport::toString(body)));
    }

    // A segment whose joint the motion lacks must neither crash nor shift the other segments'
    // masses onto the wrong centres; names never bound give no centre.
    void unboundSegmentsAreSkippedAndMassesStayPaired()
    {
        BvhMathObject object;
        QTest::ignoreMessage(QtDebugMsg, "Couldn't find mass joint \"Tail\"");
        bind(object, "Hips>Spine 0.5 0.5;Tail>Spine 0.5 100;LeftLeg>Spine 0 0.5");
        const QList<Vector3f> centres = object.computeSegmentCentres();
        QCOMPARE(centres.size(), 2);
        QCOMPARE(object.segmentCentreIndices, (QList<qsizetype>{0, 2}));
        QVERIFY(TestSupport::nearlyEqual(centres[1], Vector3f(4, 0, 3)));
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(2.5, 3.5, 3)));

        bind(object, "");
        object.startJointNames = {"Hips"}; // named but never bound
        object.endJointNames = {"Spine"};
        object.proximalDistances = object.masses = {1};
        QVERIFY(object.computeSegmentCentres().isEmpty());
        QCOMPARE(object.computeBodyCentre(), Vector3f(0, 0, 0));
    }

    void closedMotionLeavesNoDanglingJoints()
    {
        BvhMathObject object;
        bind(object, "Hips>Spine 0.5 1");
        motion.clear(); // deletes the joints the segments were bound to
        QVERIFY(object.rootJoint.isNull());
        QVERIFY(object.computeSegmentCentres().isEmpty());
        QCOMPARE(object.computeBodyCentre(), Vector3f(0, 0, 0));
    }

    // As the editor may leave it before binding again.
    void editedMassListShorterThanBinding()
    {
        BvhMathObject object;
        bind(object, "Hips>Spine 0.5 1;LeftLeg>Spine 0 1");
        object.masses.removeLast();
        QCOMPARE(object.computeSegmentCentres().size(), 2);
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(1, 7, 3)));
    }

    // The body centre is that of the last computeSegmentCentres(), not of the current frame.
    void bodyCentreKeepsTheLastComputedFrame()
    {
        BvhMathObject object;
        bind(object, "Hips>Spine 0.5 1");
        object.computeSegmentCentres();
        motion.setCurrentFrame(1);
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(1, 7, 3)));
        object.computeSegmentCentres();
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(1, 27, 3)));
    }
};

QTEST_GUILESS_MAIN(TestCentreOfMass)
#include "tst_centreofmass.moc"
