#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <numeric>

// The samples shipped in samples/: the default mass-segment model and the walking motion it is
// meant for.
class TestSamples : public QObject
{
    Q_OBJECT

private:
    const QString samples = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/");
    BvhFile walk;
    BvhMathObject model;

private slots:
    void initTestCase()
    {
        QVERIFY(BvhReader(walk).read(samples + "walk.bvh").ok());
        QVERIFY(model.readMassSegments(samples + "defaultMassSegments.xml").ok);
        model.setBvhFile(&walk);
    }

    void modelIsWholeAndInTheProgramsOwnLayout()
    {
        QTemporaryDir dir;
        QVERIFY(model.writeMassSegments(dir.filePath(QStringLiteral("model.xml"))).ok);
        QCOMPARE(TestSupport::readFile(dir.filePath(QStringLiteral("model.xml"))),
                 TestSupport::readFile(samples + "defaultMassSegments.xml"));
        const MassSegmentModel& segments = model.getSegments();
        QCOMPARE(segments.size(), 14);
        QCOMPARE(std::accumulate(segments.begin(), segments.end(), 0.0,
                                 [](double sum, const MassSegment& s) { return sum + s.mass; }),
                 1.0);
    }

    // Every segment is bound (the head's to the head's End Site, not a hand's or a toe's), and
    // in every frame the whole-body centre sits a little above the hip joints, left to right
    // between the feet.
    void centreOfMassIsPlausible()
    {
        const SegmentBinding& binding = model.getBinding();
        QVERIFY2(binding.missingJoints.isEmpty(), qPrintable(binding.missingJoints.join(' ')));
        QCOMPARE(binding.bound.size(), size_t(14));
        PoseEvaluator pose(walk.root);
        const QList<BvhJoint*>& joints = pose.getJoints();
        QCOMPARE(joints[binding.bound[0].endJoint]->getParentJoint()->getName(),
                 QStringLiteral("Head"));
        const qsizetype leftFoot =
            joints.indexOf(walk.root->getJointByName(QStringLiteral("LFoot")));
        const qsizetype rightFoot =
            joints.indexOf(walk.root->getJointByName(QStringLiteral("RFoot")));
        for (int frame = 0; frame < walk.rowCount(); ++frame) {
            const QList<double>& row = walk.frames[frame];
            pose.evaluateRow(row.constData(), row.size());
            const Vector3f centre = model.computeCentres(pose.getPositions()).body;
            const Vector3f pelvis = pose.getPosition(0);
            const auto [left, right] =
                std::minmax({pose.getPosition(leftFoot).x(), pose.getPosition(rightFoot).x()});
            const QString where =
                QStringLiteral("frame %1: centre %2, pelvis %3")
                    .arg(frame)
                    .arg(TestSupport::toString(centre), TestSupport::toString(pelvis));
            QVERIFY2(centre.y() > pelvis.y() && centre.y() < pelvis.y() + 15, qPrintable(where));
            QVERIFY2(qAbs(centre.z() - pelvis.z()) < 8, qPrintable(where));
            QVERIFY2(centre.x() > left && centre.x() < right, qPrintable(where));
        }
    }
};

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
