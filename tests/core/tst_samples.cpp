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
    static QString samplePath(const QString& name)
    {
        return QStringLiteral(KINOVANE_SOURCE_DIR "/samples/") + name;
    }

    BvhFile walk;
    BvhMathObject model;

private slots:
    void initTestCase()
    {
        QVERIFY(walk.readFile(samplePath("walk.bvh")).ok());
        QVERIFY(model.readMassSegments(samplePath("defaultMassSegments.xml")));
        model.setBvhFile(&walk);
    }

    void modelIsWrittenInTheProgramsOwnLayout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("model.xml"));
        QVERIFY(model.writeMassSegments(path).ok);
        QCOMPARE(TestSupport::readFile(path),
                 TestSupport::readFile(samplePath("defaultMassSegments.xml")));
    }

    void modelCoversTheWholeBody()
    {
        QCOMPARE(model.getSegmentCount(), 14);
        double total = 0.0;
        for (double mass : model.masses)
            total += mass;
        QVERIFY2(qAbs(total - 1.0) < 1e-9, qPrintable(QString::number(total, 'g', 17)));
        for (double distance : model.proximalDistances)
            QVERIFY(distance > 0.0 && distance < 1.5);
    }

    void walkHasAFewSecondsOfMotion()
    {
        const double seconds = walk.rowCount() * walk.frameTime;
        QVERIFY2(seconds >= 2.0 && seconds <= 10.0, qPrintable(QString::number(seconds)));
        QVERIFY(qAbs(walk.frameTime - 1.0 / 30) < 1e-6 || qAbs(walk.frameTime - 1.0 / 60) < 1e-6);
    }

    void everyMassJointIsFound()
    {
        TestSupport::MessageLog log;
        model.findMassJoints();
        QVERIFY2(!log.contains(QStringLiteral("Couldn't find mass joint")),
                 qPrintable(log.messages.join('\n')));
        QCOMPARE(model.startJoints.size(), 14);
        for (qsizetype i = 0; i < 14; ++i)
            QVERIFY(model.startJoints[i] && model.endJoints[i]);
        // The head segment must end on the head's End Site, not a hand's or a toe's.
        QCOMPARE(model.endJoints[0]->getParentJoint()->getName(), QStringLiteral("Head"));
    }

    // The whole-body centre must sit near the pelvis, above the ground and between the feet,
    // in every frame.
    void centreOfMassIsPlausible()
    {
        model.findMassJoints();
        const BvhJoint* hips = walk.root;
        const BvhJoint* leftFoot = hips->getJointByName(QStringLiteral("LFoot"));
        const BvhJoint* rightFoot = hips->getJointByName(QStringLiteral("RFoot"));
        const BvhJoint* leftTip = hips->getJointByName(QStringLiteral("LToe"))->getChild(0);
        const BvhJoint* rightTip = hips->getJointByName(QStringLiteral("RToe"))->getChild(0);
        QVERIFY(leftFoot && rightFoot && leftTip && rightTip);
        for (int frame = 0; frame < walk.rowCount(); ++frame) {
            walk.setCurrentFrame(frame);
            model.computeSegmentCentres();
            const Vector3f centre = model.computeBodyCentre();
            const Vector3f pelvis = hips->getAbsolutePosition();
            const Vector3f feet[] = {
                leftFoot->getAbsolutePosition(), rightFoot->getAbsolutePosition(),
                leftTip->getAbsolutePosition(), rightTip->getAbsolutePosition()};
            const auto axisRange = [&](int axis) {
                const auto [low, high] = std::minmax_element(
                    std::begin(feet), std::end(feet),
                    [axis](const Vector3f& a, const Vector3f& b) { return a[axis] < b[axis]; });
                return std::pair((*low)[axis], (*high)[axis]);
            };
            const QString where = QStringLiteral("frame %1: centre %2, pelvis %3")
                                      .arg(frame)
                                      .arg(TestSupport::toString(centre))
                                      .arg(TestSupport::toString(pelvis));
            // Above the hip joints by a few centimetres, as in a standing adult.
            QVERIFY2(centre.y() > pelvis.y() && centre.y() < pelvis.y() + 15, qPrintable(where));
            QVERIFY2(qAbs(centre.z() - pelvis.z()) < 8, qPrintable(where));
            const auto [left, right] = axisRange(0);
            QVERIFY2(centre.x() > left && centre.x() < right, qPrintable(where));
            const auto [back, front] = axisRange(2);
            QVERIFY2(centre.z() > back - 10 && centre.z() < front + 10, qPrintable(where));
            QVERIFY2(std::min({feet[0].y(), feet[1].y(), feet[2].y(), feet[3].y()}) > -0.5f,
                     qPrintable(where));
        }
    }
};

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
