#include "model/bvhfile.h"
#include "model/bvhjoint.h"
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
        QVERIFY(walk.readFile(samples + "walk.bvh").ok());
        QVERIFY(model.readMassSegments(samples + "defaultMassSegments.xml"));
        model.setBvhFile(&walk);
    }

    void modelIsWholeAndInTheProgramsOwnLayout()
    {
        QTemporaryDir dir;
        QVERIFY(model.writeMassSegments(dir.filePath(QStringLiteral("model.xml"))).ok);
        QCOMPARE(TestSupport::readFile(dir.filePath(QStringLiteral("model.xml"))),
                 TestSupport::readFile(samples + "defaultMassSegments.xml"));
        QCOMPARE(model.getSegmentCount(), 14);
        QCOMPARE(std::accumulate(model.masses.begin(), model.masses.end(), 0.0), 1.0);
    }

    // Every segment is bound (the head's to the head's End Site, not a hand's or a toe's), and
    // in every frame the whole-body centre sits a little above the hip joints, left to right
    // between the feet.
    void centreOfMassIsPlausible()
    {
        TestSupport::MessageLog log;
        model.findMassJoints();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join('\n')));
        for (qsizetype i = 0; i < model.getSegmentCount(); ++i)
            QVERIFY(model.startJoints[i] && model.endJoints[i]);
        QCOMPARE(model.endJoints[0]->getParentJoint()->getName(), QStringLiteral("Head"));
        const BvhJoint* hips = walk.root;
        const BvhJoint* leftFoot = hips->getJointByName(QStringLiteral("LFoot"));
        const BvhJoint* rightFoot = hips->getJointByName(QStringLiteral("RFoot"));
        for (int frame = 0; frame < walk.rowCount(); ++frame) {
            walk.setCurrentFrame(frame);
            model.computeSegmentCentres();
            const Vector3f centre = model.computeBodyCentre();
            const Vector3f pelvis = hips->getAbsolutePosition();
            const auto [left, right] = std::minmax(
                {leftFoot->getAbsolutePosition().x(), rightFoot->getAbsolutePosition().x()});
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
