#include "model/bvhfile.h"
#include "model/poseevaluator.h"
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
        object.setSegments(TestSupport::segmentModel(segments));
        object.setBvhFile(&motion);
    }

    // The joint positions of frame `frame`.
    std::vector<Vector3f> pose(int frame) const
    {
        PoseEvaluator evaluator(motion.root);
        const QList<double>& row = motion.frames[frame];
        evaluator.evaluateRow(row.constData(), row.size());
        return evaluator.getPositions();
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
        BvhMathObject object;
        bind(object, segments);
        const CentresOfMass& centres = object.computeCentres(pose(0));
        QCOMPARE(qsizetype(centres.segmentCentres.size()),
                 segments.count(';') + !segments.isEmpty());
        QVERIFY2(TestSupport::nearlyEqual(centres.body, expected),
                 qPrintable(TestSupport::toString(centres.body)));
    }

    // A segment whose joint the motion lacks must neither crash nor shift the other segments'
    // masses onto the wrong centres; each pose replaces the centres of the last.
    void unboundSegmentsAreSkippedAndMassesStayPaired()
    {
        BvhMathObject object;
        bind(object, "Hips>Spine 0.5 0.5;Tail>Spine 0.5 100;LeftLeg>Spine 0 0.5");
        QCOMPARE(object.getBinding().missingJoints, QStringList{"Tail"});
        object.computeCentres(pose(1));
        const CentresOfMass& centres = object.computeCentres(pose(0));
        QCOMPARE(centres.segmentIndices, (std::vector<qsizetype>{0, 2}));
        QVERIFY(TestSupport::nearlyEqual(centres.segmentCentres[1], Vector3f(4, 0, 3)));
        QVERIFY(TestSupport::nearlyEqual(centres.body, Vector3f(2.5, 3.5, 3)));
    }

    // Without a motion nothing is bound; positions that no longer reach a bound joint (the
    // motion was closed) give no centre rather than a crash.
    void noCentreWithoutJoints()
    {
        BvhMathObject object;
        object.setSegments(TestSupport::segmentModel("Hips>Spine 0.5 1"));
        QVERIFY(object.computeCentres(pose(0)).segmentCentres.empty());
        bind(object, "Hips>Spine 0.5 1;LeftLeg>Hips 0.5 1");
        const std::vector<Vector3f> positions = pose(0);
        const CentresOfMass& centres = object.computeCentres({positions.data(), 2});
        QCOMPARE(centres.segmentIndices, (std::vector<qsizetype>{0}));
        motion.clear();
        QVERIFY(object.computeCentres({}).segmentCentres.empty());
        QCOMPARE(object.computeCentres({}).body, Vector3f(0, 0, 0));
    }
};

QTEST_GUILESS_MAIN(TestCentreOfMass)
#include "tst_centreofmass.moc"
