#include "scenechecks.h"
#include "view/bvhview.h"
#include "viewfixture.h"

#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

static QString toString(const QVector3D& v)
{
    return QStringLiteral("(%1, %2, %3)").arg(v.x()).arg(v.y()).arg(v.z());
}

#define COMPARE_VECTORS(actual, expected)                                                          \
    QVERIFY2(nearlyEqual(actual, expected),                                                        \
             qPrintable(toString(actual) + QStringLiteral(" != ") + toString(expected)))

static QList<QVector3D> visibleSphereCentres(const BvhView& view, const Material* material)
{
    QList<QVector3D> centres;
    for (const SceneNode& node : view.getScene().getSphereNodes()) {
        if (node.isVisible() && node.getMaterial() == material)
            centres.append(node.getLocalTransform().map(QVector3D()));
    }
    return centres;
}

// The view's placement (never shown, so without any GL context), its commands and its mouse
// handling of the camera.
class TestBvhView : public QObject
{
    Q_OBJECT

private:
    static void send(BvhView& view, QEvent::Type type, Qt::MouseButton button, QPoint position)
    {
        QMouseEvent event(type, QPointF(position), QPointF(view.mapToGlobal(position)), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : button,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    }

    static void drag(BvhView& view, Qt::MouseButton button, QPoint from, QPoint to)
    {
        send(view, QEvent::MouseButtonPress, button, from);
        send(view, QEvent::MouseMove, Qt::NoButton, to);
        send(view, QEvent::MouseButtonRelease, button, to);
    }

private slots:
    // The view may be updated before its GL context exists: nothing breaks, and the scene
    // holds the current frame for the first paint.
    void placesTheSkeletonWithoutContext()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        QVERIFY(!view.context());
        QCOMPARE(view.getRootJoint(), fixture.motion.root.data());

        const QList<BvhJoint*> joints = fixture.motion.root->getAllJoints();
        const QList<QVector3D> white = visibleSphereCentres(view, &view.getScene().whiteMaterial);
        QCOMPARE(white.size(), joints.size());
        for (qsizetype i = 0; i < joints.size(); ++i)
            COMPARE_VECTORS(white[i], toQVector(joints[i]->getAbsolutePosition()));
        QCOMPARE(visibleCount(view.getScene().getCylinderNodes()), joints.size() - 1);

        const QList<QVector3D> red = visibleSphereCentres(view, &view.getScene().redMaterial);
        QCOMPARE(red.size(), 2);
        COMPARE_VECTORS(red[0], QVector3D(20, 130, 0));
        COMPARE_VECTORS(red[1], QVector3D(0, 110, 0));
        const QList<QVector3D> magenta =
            visibleSphereCentres(view, &view.getScene().magentaMaterial);
        QCOMPARE(magenta.size(), 1);
        COMPARE_VECTORS(magenta[0], toQVector(fixture.physics.computeBodyCentre()));
        COMPARE_VECTORS(magenta[0], QVector3D(0, 110, 0));
    }

    void followsTheCurrentFrame()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        fixture.motion.setCurrentFrame(1);
        view.updateSkeletons();
        const QList<QVector3D> white = visibleSphereCentres(view, &view.getScene().whiteMaterial);
        COMPARE_VECTORS(white[0], QVector3D(30, 90, -20));
        COMPARE_VECTORS(white[2], toQVector(fixture.joint("Head")->getAbsolutePosition()));
        QVERIFY(!nearlyEqual(white[2], QVector3D(30, 160, -20))); // the chest is bent
        QCOMPARE(view.getSegmentCentres(), fixture.physics.segmentCentres);
    }

    void highlightFollowsTheSelection()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        view.setHighlightedJoint(fixture.joint("LeftArm"));
        QList<QVector3D> yellow = visibleSphereCentres(view, &view.getScene().yellowMaterial);
        QCOMPARE(yellow.size(), 1);
        COMPARE_VECTORS(yellow[0], QVector3D(40, 130, 0));
        view.setHighlightedJoint(fixture.joint("Head"));
        yellow = visibleSphereCentres(view, &view.getScene().yellowMaterial);
        QCOMPARE(yellow.size(), 1);
        COMPARE_VECTORS(yellow[0], QVector3D(0, 160, 0));
        QVERIFY(visibleSphereCentres(view, &view.getScene().whiteMaterial)
                    .contains(QVector3D(40, 130, 0)));
        view.setHighlightedJoint(nullptr);
        QVERIFY(visibleSphereCentres(view, &view.getScene().yellowMaterial).isEmpty());
    }

    void displayFlags_data()
    {
        QTest::addColumn<bool>("segments");
        QTest::addColumn<bool>("body");
        QTest::newRow("both") << true << true;
        QTest::newRow("segments only") << true << false;
        QTest::newRow("body only") << false << true;
        QTest::newRow("neither") << false << false;
    }

    // The segment centres are fetched whenever a marker is shown (the body centre is computed
    // from them) and not at all when none is: the physics object's cache then keeps the frame
    // it last computed.
    void displayFlags()
    {
        QFETCH(bool, segments);
        QFETCH(bool, body);
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        const QList<Vector3f> frameZeroCentres = view.getSegmentCentres();
        view.segmentMassDisplayed = segments;
        view.bodyMassDisplayed = body;
        fixture.motion.setCurrentFrame(1);
        view.updateSkeletons();

        const SkeletonScene& scene = view.getScene();
        QCOMPARE(visibleSphereCentres(view, &scene.redMaterial).size(), segments ? 2 : 0);
        QCOMPARE(visibleSphereCentres(view, &scene.magentaMaterial).size(), body ? 1 : 0);
        QCOMPARE(visibleSphereCentres(view, &scene.whiteMaterial).size(), 8);
        if (segments || body) {
            QVERIFY(view.getSegmentCentres() != frameZeroCentres);
            QCOMPARE(fixture.physics.segmentCentres, view.getSegmentCentres());
        } else {
            QCOMPARE(view.getSegmentCentres(), frameZeroCentres);
            QCOMPARE(fixture.physics.segmentCentres, frameZeroCentres);
        }
        if (body && !segments) {
            // The body marker takes the sphere right after the joints.
            const SceneNode& node = scene.getSphereNodes()[8];
            QCOMPARE(node.getMaterial(), &scene.magentaMaterial);
            COMPARE_VECTORS(node.getLocalTransform().map(QVector3D()),
                            toQVector(fixture.physics.computeBodyCentre()));
        }
    }

    // Without any bound segment the body centre is the origin; no marker is put there.
    void noBodyMarkerWithoutSegments()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        fixture.physics.clearSegments();
        BvhView view;
        view.setMathObject(&fixture.physics);
        QVERIFY(visibleSphereCentres(view, &view.getScene().magentaMaterial).isEmpty());
        QCOMPARE(visibleSphereCentres(view, &view.getScene().whiteMaterial).size(), 8);
    }

    // regression: skeletons of 77 joints or more lost their segment markers and, past 78,
    // their last joints.
    void largeSkeletonKeepsEveryItem()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load(TestSupport::branchedMotion(120)));
        fixture.physics.startJointNames = {QStringLiteral("Hips"), QStringLiteral("Joint5")};
        fixture.physics.endJointNames = {QStringLiteral("Joint1"), QStringLiteral("Joint60")};
        fixture.physics.setBvhFile(&fixture.motion);
        BvhView view;
        view.setMathObject(&fixture.physics);
        view.setHighlightedJoint(fixture.joint("Joint100"));
        const SkeletonScene& scene = view.getScene();
        QCOMPARE(visibleSphereCentres(view, &scene.whiteMaterial).size(), 119);
        QCOMPARE(visibleSphereCentres(view, &scene.yellowMaterial).size(), 1);
        QCOMPARE(visibleSphereCentres(view, &scene.redMaterial).size(), 2);
        QCOMPARE(visibleSphereCentres(view, &scene.magentaMaterial).size(), 1);
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 119);
        const QList<BvhJoint*> joints = fixture.motion.root->getAllJoints();
        COMPARE_VECTORS(scene.getSphereNodes()[119].getLocalTransform().map(QVector3D()),
                        toQVector(joints.last()->getAbsolutePosition()));
    }

    void closingTheMotionHidesTheSkeleton()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        view.setHighlightedJoint(fixture.joint("Head"));
        fixture.motion.clear();
        QVERIFY(!view.getRootJoint());
        QVERIFY(!view.getHighlightedJoint());
        view.updateSkeletons();
        QCOMPARE(visibleCount(view.getScene().getSphereNodes()), 0);
        QCOMPARE(visibleCount(view.getScene().getCylinderNodes()), 0);

        // A new motion in the same physics object replaces the old one.
        QVERIFY(fixture.load(TestSupport::branchedMotion(30)));
        view.setMathObject(&fixture.physics);
        QCOMPARE(visibleSphereCentres(view, &view.getScene().whiteMaterial).size(), 30);
    }

    void resetCamera()
    {
        BvhView view;
        drag(view, Qt::LeftButton, QPoint(10, 10), QPoint(30, 40));
        drag(view, Qt::RightButton, QPoint(10, 10), QPoint(30, 40));
        QVERIFY(!nearlyEqual(view.getCamera().getEye(), OrbitCamera::defaultEye));
        view.resetCamera();
        COMPARE_VECTORS(view.getCamera().getEye(), QVector3D(0, 100, 800));
        COMPARE_VECTORS(view.getCamera().getCenter(), QVector3D(0, 0, 0));
        COMPARE_VECTORS(view.getCamera().getUpVector(), QVector3D(0, 1, 0));
    }

    void centringWithoutMotionDoesNothing()
    {
        BvhView view;
        drag(view, Qt::LeftButton, QPoint(10, 10), QPoint(30, 40));
        const OrbitCamera before = view.getCamera();
        view.centerCameraOnSelectedJoint();
        view.centerCameraOnRoot();
        view.centerCameraOnRootGround();
        QVERIFY(view.getCamera().getEye() == before.getEye());
        QVERIFY(view.getCamera().getCenter() == before.getCenter());
        QVERIFY(view.getCamera().getUpVector() == before.getUpVector());
    }

    void centringCommands()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        fixture.motion.setCurrentFrame(1);
        BvhView view;
        view.setMathObject(&fixture.physics);
        drag(view, Qt::LeftButton, QPoint(10, 10), QPoint(30, 40));
        const QVector3D root = toQVector(fixture.motion.root->getAbsolutePosition());

        const QVector3D eyeBefore = view.getCamera().getEye();
        view.centerCameraOnSelectedJoint(); // nothing selected
        COMPARE_VECTORS(view.getCamera().getCenter(), QVector3D(0, 0, 0));
        view.setHighlightedJoint(fixture.joint("Head"));
        view.centerCameraOnSelectedJoint();
        COMPARE_VECTORS(view.getCamera().getCenter(),
                        toQVector(fixture.joint("Head")->getAbsolutePosition()));
        COMPARE_VECTORS(view.getCamera().getEye(), eyeBefore);

        view.centerCameraOnRoot();
        COMPARE_VECTORS(view.getCamera().getCenter(), root);
        COMPARE_VECTORS(view.getCamera().getEye(), root + QVector3D(0, 100, 800));
        COMPARE_VECTORS(view.getCamera().getUpVector(), QVector3D(0, 1, 0));

        view.centerCameraOnRootGround();
        COMPARE_VECTORS(view.getCamera().getCenter(), QVector3D(root.x(), 0, root.z()));
        COMPARE_VECTORS(view.getCamera().getEye(), QVector3D(root.x(), 100, root.z() + 800));
    }

    void horizontalDrag_data()
    {
        QTest::addColumn<int>("dx");
        QTest::newRow("slow right") << 1;
        QTest::newRow("fast right") << 60;
        QTest::newRow("slow left") << -1;
        QTest::newRow("fast left") << -60;
    }

    // Each move turns the eye about the y axis by 2 atan(rotateStep), whatever the distance
    // moved: a drag to the right takes the eye towards -x.
    void horizontalDrag()
    {
        QFETCH(int, dx);
        BvhView view;
        drag(view, Qt::LeftButton, QPoint(100, 100), QPoint(100 + dx, 100));
        const QVector3D eye = view.getCamera().getEye();
        const float angle = std::atan2(eye.x(), eye.z());
        const float expected = 2 * std::atan(0.015f) * (dx > 0 ? -1.0f : 1.0f);
        QVERIFY2(qAbs(angle - expected) < 1e-5f, qPrintable(QString::number(angle)));
        QVERIFY(qAbs(eye.y() - 100) < 1e-3f);
        QVERIFY(qAbs(eye.length() - OrbitCamera::defaultEye.length()) < 1e-2f);
        COMPARE_VECTORS(view.getCamera().getCenter(), QVector3D(0, 0, 0));
        COMPARE_VECTORS(view.getCamera().getUpVector(), QVector3D(0, 1, 0));
    }

    void verticalDrag_data()
    {
        QTest::addColumn<int>("dy");
        QTest::newRow("down") << 5;
        QTest::newRow("up") << -5;
    }

    // Each move turns the eye about the horizontal axis eye x y by 2 atan(|a|), where
    // |a| = rotateStep^2 / 2 times the eye's distance from the y axis (800 here), and keeps
    // its distance from the origin: a drag down raises the eye.
    void verticalDrag()
    {
        QFETCH(int, dy);
        BvhView view;
        const QVector3D before = view.getCamera().getEye();
        drag(view, Qt::LeftButton, QPoint(100, 100), QPoint(100, 100 + dy));
        const QVector3D eye = view.getCamera().getEye();
        QVERIFY(qAbs(eye.length() - before.length()) < 1e-2f);
        QVERIFY(qAbs(eye.x()) < 1e-3f);
        const float turned =
            std::acos(QVector3D::dotProduct(eye.normalized(), before.normalized()));
        const float expected = 2 * std::atan(0.015f * 0.015f / 2 * 800);
        QVERIFY2(qAbs(turned - expected) < 1e-4f, qPrintable(QString::number(turned)));
        QVERIFY(dy > 0 ? eye.y() > before.y() : eye.y() < before.y());
        // The up vector turns with the eye.
        const float upTurned =
            std::acos(QVector3D::dotProduct(view.getCamera().getUpVector(), QVector3D(0, 1, 0)));
        QVERIFY(qAbs(upTurned - expected) < 1e-3f);
    }

    // The distance restored is the eye's distance from the world
    // origin before the drag, not from the centre.
    void rotationKeepsDistanceFromOrigin()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        fixture.motion.setCurrentFrame(1);
        BvhView view;
        view.setMathObject(&fixture.physics);
        view.centerCameraOnRoot();
        const float distance = view.getCamera().getEye().length();
        drag(view, Qt::LeftButton, QPoint(50, 50), QPoint(80, 70));
        QVERIFY(qAbs(view.getCamera().getEye().length() - distance) < 1e-2f);
        QVERIFY(qAbs((view.getCamera().getEye() - view.getCamera().getCenter()).length() -
                     (QVector3D(0, 100, 800)).length()) > 1e-2f);
    }

    void pan_data()
    {
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<QVector3D>("offset");
        QTest::newRow("right") << QPoint(40, 0) << QVector3D(-0.01f, 0, 0);
        QTest::newRow("left") << QPoint(-1, 0) << QVector3D(0.01f, 0, 0);
        QTest::newRow("down") << QPoint(0, 3) << QVector3D(0, 0.01f, 0);
        QTest::newRow("up and right") << QPoint(7, -9) << QVector3D(-0.01f, -0.01f, 0);
    }

    // Each move shifts centre and eye together by panStep along every camera axis the mouse
    // moved on; with the default camera those axes are the world's x and y.
    void pan()
    {
        QFETCH(QPoint, move);
        QFETCH(QVector3D, offset);
        BvhView view;
        drag(view, Qt::RightButton, QPoint(100, 100), QPoint(100, 100) + move);
        COMPARE_VECTORS(view.getCamera().getCenter(), offset);
        COMPARE_VECTORS(view.getCamera().getEye(), OrbitCamera::defaultEye + offset);
    }

    void doubleClickResetsEvenWhileDragging()
    {
        BvhView view;
        drag(view, Qt::LeftButton, QPoint(10, 10), QPoint(40, 10));
        send(view, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(10, 10));
        send(view, QEvent::MouseButtonPress, Qt::RightButton, QPoint(10, 10));
        QVERIFY(view.isRotating() && view.isPanning());
        send(view, QEvent::MouseButtonDblClick, Qt::LeftButton, QPoint(10, 10));
        COMPARE_VECTORS(view.getCamera().getEye(), OrbitCamera::defaultEye);
        send(view, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(10, 10));
        QVERIFY(!view.isRotating() && !view.isPanning());
    }

    void movesWithoutDragChangeNothing()
    {
        BvhView view;
        send(view, QEvent::MouseMove, Qt::NoButton, QPoint(10, 10));
        send(view, QEvent::MouseMove, Qt::NoButton, QPoint(90, 70));
        send(view, QEvent::MouseButtonPress, Qt::MiddleButton, QPoint(10, 10));
        QVERIFY(!view.isRotating() && !view.isPanning());
        send(view, QEvent::MouseMove, Qt::NoButton, QPoint(90, 70));
        COMPARE_VECTORS(view.getCamera().getEye(), OrbitCamera::defaultEye);
        COMPARE_VECTORS(view.getCamera().getCenter(), OrbitCamera::defaultCenter);
    }

    void wheelZoomsTowardsTheCentre()
    {
        BvhView view;
        const QVector3D before = view.getCamera().getEye();
        QWheelEvent in(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 240), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &in);
        COMPARE_VECTORS(view.getCamera().getEye(), before * 0.81f);
        QWheelEvent out(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &out);
        COMPARE_VECTORS(view.getCamera().getEye(), before * 0.81f / 0.9f);
    }
};

QTEST_MAIN(TestBvhView)
#include "tst_bvhview.moc"
