#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

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
        double total = 0.0;
        for (double mass : model.masses)
            total += mass;
        QVERIFY2(qAbs(total - 1.0) < 1e-9, qPrintable(QString::number(total, 'g', 17)));
    }

    void everyMassJointIsFound()
    {
        TestSupport::MessageLog log;
        model.findMassJoints();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join('\n')));
        QCOMPARE(model.startJoints.size(), 14);
        for (qsizetype i = 0; i < 14; ++i)
            QVERIFY(model.startJoints[i] && model.endJoints[i]);
        // The head segment must end on the head's End Site, not a hand's or a toe's.
        QCOMPARE(model.endJoints[0]->getParentJoint()->getName(), QStringLiteral("Head"));
    }

    // In every frame the whole-body centre sits a little above the hip joints, between the
    // feet from left to right, and the feet stay above the ground.
    void centreOfMassIsPlausible()
    {
        model.findMassJoints();
        const BvhJoint* hips = walk.root;
        QList<const BvhJoint*> feet;
        for (const char* name : {"LFoot", "RFoot", "LToe", "RToe"})
            feet << hips->getJointByName(QString::fromLatin1(name));
        QVERIFY(!feet.contains(nullptr));
        feet << feet[2]->getChild(0) << feet[3]->getChild(0); // the toe tips
        for (int frame = 0; frame < walk.rowCount(); ++frame) {
            walk.setCurrentFrame(frame);
            model.computeSegmentCentres();
            const Vector3f centre = model.computeBodyCentre();
            const Vector3f pelvis = hips->getAbsolutePosition();
            float left = 1e9f, right = -1e9f, ground = 1e9f;
            for (const BvhJoint* foot : feet) {
                const Vector3f at = foot->getAbsolutePosition();
                left = std::min(left, at.x());
                right = std::max(right, at.x());
                ground = std::min(ground, at.y());
            }
            const QString where =
                QStringLiteral("frame %1: centre %2, pelvis %3")
                    .arg(frame)
                    .arg(TestSupport::toString(centre), TestSupport::toString(pelvis));
            QVERIFY2(centre.y() > pelvis.y() && centre.y() < pelvis.y() + 15, qPrintable(where));
            QVERIFY2(qAbs(centre.z() - pelvis.z()) < 8, qPrintable(where));
            QVERIFY2(centre.x() > left && centre.x() < right && ground > -0.5f, qPrintable(where));
        }
    }
};

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
