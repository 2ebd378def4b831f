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
    // Row layout: Hips X/Y/Zposition, Z/X/Yrotation; Spine Z/X/Y; LeftLeg Z/X/Y.
    static void setRow(BvhFile& motion, int frame, const QList<double>& row)
    {
        motion.frames[frame] = row;
        motion.setCurrentFrame(frame);
    }

    static void addSegment(BvhMathObject& object, const QString& start, const QString& end,
                           double distance, double mass)
    {
        object.startJointNames.append(start);
        object.endJointNames.append(end);
        object.proximalDistances.append(distance);
        object.masses.append(mass);
    }

    BvhFile motion;

private slots:
    void init()
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2)));
        // Root at (1, 2, 3), nothing rotated: Hips (1, 2, 3), Spine (1, 12, 3), its End Site
        // (1, 17, 3), LeftLeg (4, 0, 3), its End Site (4, -8, 3).
        setRow(motion, 0, {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }

    void segmentCentre_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<double>("distance");
        QTest::addColumn<Vector3f>("expected");
        QTest::newRow("midpoint") << "Hips"
                                  << "Spine" << 0.5 << Vector3f(1, 7, 3);
        QTest::newRow("beyond the end joint") << "Hips"
                                              << "Spine" << 1.5 << Vector3f(1, 17, 3);
        QTest::newRow("before the start joint") << "Spine"
                                                << "Hips" << -0.5 << Vector3f(1, 17, 3);
        QTest::newRow("end site") << "Spine"
                                  << "End Site" << 0.4 << Vector3f(1, 14, 3);
        QTest::newRow("across branches") << "LeftLeg"
                                         << "Spine" << 0.25 << Vector3f(3.25, 3, 3);
    }

    void segmentCentre()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(double, distance);
        QFETCH(Vector3f, expected);
        BvhMathObject object;
        addSegment(object, start, end, distance, 1.0);
        object.setBvhFile(&motion);
        object.findMassJoints();
        const QList<Vector3f> centres = object.computeSegmentCentres();
        QCOMPARE(centres.size(), 1);
        QVERIFY2(TestSupport::nearlyEqual(centres[0], expected),
                 qPrintable(TestSupport::toString(centres[0])));
        QCOMPARE(object.segmentCentres, centres);
        // A single segment of mass fraction 1 is the whole body.
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), centres[0], 0));
    }

    void centresFollowTheRotatedPose()
    {
        // Hips turned 90 degrees about z carries Spine from (0, 10, 0) to (-10, 0, 0).
        setRow(motion, 0, {1, 2, 3, 90, 0, 0, 0, 0, 0, 0, 0, 0});
        BvhMathObject object;
        addSegment(object, "Hips", "Spine", 0.5, 1.0);
        object.setBvhFile(&motion);
        object.findMassJoints();
        const QList<Vector3f> centres = object.computeSegmentCentres();
        QCOMPARE(centres.size(), 1);
        QVERIFY2(TestSupport::nearlyEqual(centres[0], Vector3f(-4, 2, 3)),
                 qPrintable(TestSupport::toString(centres[0])));
    }

    void bodyCentreWeighting_data()
    {
        QTest::addColumn<double>("firstMass");
        QTest::addColumn<double>("secondMass");
        QTest::addColumn<Vector3f>("expected");
        // Segment centres: Hips -> Spine at 0.5 is (1, 7, 3); LeftLeg -> Spine at 0 is LeftLeg
        // itself, (4, 0, 3).
        QTest::newRow("ones give the sum, not the mean") << 1.0 << 1.0 << Vector3f(5, 7, 6);
        QTest::newRow("unequal fractions") << 0.75 << 0.25 << Vector3f(1.75, 5.25, 3);
        QTest::newRow("zero mass") << 0.0 << 1.0 << Vector3f(4, 0, 3);
    }

    void bodyCentreWeighting()
    {
        QFETCH(double, firstMass);
        QFETCH(double, secondMass);
        QFETCH(Vector3f, expected);
        BvhMathObject object;
        addSegment(object, "Hips", "Spine", 0.5, firstMass);
        addSegment(object, "LeftLeg", "Spine", 0.0, secondMass);
        object.setBvhFile(&motion);
        object.findMassJoints();
        object.computeSegmentCentres();
        const Vector3f body = object.computeBodyCentre();
        QVERIFY2(TestSupport::nearlyEqual(body, expected), qPrintable(TestSupport::toString(body)));
    }

    void emptyOrUnboundModelGivesOrigin()
    {
        BvhMathObject object;
        object.clearSegments();
        object.setBvhFile(&motion);
        object.findMassJoints();
        QVERIFY(object.computeSegmentCentres().isEmpty());
        QCOMPARE(object.computeBodyCentre(), Vector3f(0, 0, 0));

        addSegment(object, "Hips", "Spine", 0.5, 1.0); // named but never bound
        QVERIFY(object.computeSegmentCentres().isEmpty());
        QCOMPARE(object.computeBodyCentre(), Vector3f(0, 0, 0));
    }

    // A segment whose joint the motion lacks must neither crash nor shift the other segments'
    // masses onto the wrong centres.
    void unboundSegmentIsSkippedAndMassesStayPaired()
    {
        BvhMathObject object;
        addSegment(object, "Hips", "Spine", 0.5, 0.5);
        addSegment(object, "Tail", "Spine", 0.5, 100.0);
        addSegment(object, "LeftLeg", "Spine", 0.0, 0.5);
        object.setBvhFile(&motion);
        QTest::ignoreMessage(QtDebugMsg, "Couldn't find mass joint \"Tail\"");
        object.findMassJoints();
        const QList<Vector3f> centres = object.computeSegmentCentres();
        QCOMPARE(centres.size(), 2);
        QCOMPARE(object.segmentCentreIndices, (QList<qsizetype>{0, 2}));
        QVERIFY(TestSupport::nearlyEqual(centres[1], Vector3f(4, 0, 3)));
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(2.5, 3.5, 3)));
    }

    void closedMotionLeavesNoDanglingJoints()
    {
        BvhMathObject object;
        addSegment(object, "Hips", "Spine", 0.5, 1.0);
        object.setBvhFile(&motion);
        object.findMassJoints();
        motion.clear(); // deletes the joints the segments were bound to
        QVERIFY(object.rootJoint.isNull());
        QVERIFY(object.computeSegmentCentres().isEmpty());
        QCOMPARE(object.computeBodyCentre(), Vector3f(0, 0, 0));
    }

    void editedMassListShorterThanBinding()
    {
        BvhMathObject object;
        addSegment(object, "Hips", "Spine", 0.5, 1.0);
        addSegment(object, "LeftLeg", "Spine", 0.0, 1.0);
        object.setBvhFile(&motion);
        object.findMassJoints();
        object.masses.removeLast(); // as the editor may leave it before binding again
        QCOMPARE(object.computeSegmentCentres().size(), 2);
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(1, 7, 3)));
    }

    void bodyCentreKeepsTheLastComputedFrame()
    {
        setRow(motion, 1, {1, 22, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        BvhMathObject object;
        addSegment(object, "Hips", "Spine", 0.5, 1.0);
        object.setBvhFile(&motion);
        object.findMassJoints();
        motion.setCurrentFrame(0);
        object.computeSegmentCentres();
        motion.setCurrentFrame(1);
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(1, 7, 3)));
        object.computeSegmentCentres();
        QVERIFY(TestSupport::nearlyEqual(object.computeBodyCentre(), Vector3f(1, 27, 3)));
    }
};

QTEST_GUILESS_MAIN(TestCentreOfMass)
#include "tst_centreofmass.moc"
