#include "view/bvhview.h"
#include "viewfixture.h"

#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

#define COMPARE_VECTORS(actual, expected, ...)                                                     \
    QVERIFY(nearlyEqual(actual, expected __VA_OPT__(, ) __VA_ARGS__))

static QList<QVector3D> centres(const BvhView& view, const Material& material)
{
    QList<QVector3D> result;
    for (const SceneNode& node : view.getScene().getSphereNodes()) {
        if (node.isVisible() && node.getMaterial() == &material)
            result.append(node.getLocalTransform().map(QVector3D()));
    }
    return result;
}

static void send(BvhView& view, QEvent::Type type, Qt::MouseButton button, QPoint position)
{
    QMouseEvent event(type, QPointF(position), QPointF(view.mapToGlobal(position)), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

static void drag(BvhView& view, Qt::MouseButton button, QPoint from, QPoint to)
{
    send(view, QEvent::MouseButtonPress, button, from);
    send(view, QEvent::MouseMove, Qt::NoButton, to);
    send(view, QEvent::MouseButtonRelease, button, to);
}

static void wheel(BvhView& view, int angle)
{
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &event);
}

// The view's placement of the skeleton (without a GL context unless shown), its camera
// commands and mouse handling, and one frame drawn under a real (software) OpenGL.
class TestBvhView : public QObject
{
    Q_OBJECT

private slots:
    void placesTheCurrentFrame()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        const QList<BvhJoint*> joints = fixture.motion.root->getAllJoints();
        for (int frame : {0, 1}) {
            fixture.motion.loadFrame(frame);
            view.updateSkeletons();
            const QList<QVector3D> white = centres(view, view.getScene().whiteMaterial);
            QCOMPARE(white.size(), joints.size());
            for (qsizetype i = 0; i < joints.size(); ++i)
                COMPARE_VECTORS(white[i], toQVector(PoseEvaluator::positionOf(*joints[i])));
            QCOMPARE(visibleCount(view.getScene().getCylinderNodes()), joints.size() - 1);
            const QList<QVector3D> red = centres(view, view.getScene().redMaterial);
            QCOMPARE(red.size(), 2);
            COMPARE_VECTORS(red[0], fixture.midpoint("Chest", "LeftArm"));
            COMPARE_VECTORS(red[1], fixture.midpoint("Hips", "Chest"));
            // The trunk carries all the mass.
            QCOMPARE(centres(view, view.getScene().magentaMaterial), QList<QVector3D>{red[1]});
        }
        COMPARE_VECTORS(centres(view, view.getScene().whiteMaterial)[0], QVector3D(30, 90, -20));
    }

    void highlightFollowsTheSelection()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        view.setHighlightedJoint(fixture.joint("Head"));
        QCOMPARE(centres(view, view.getScene().yellowMaterial), QList{QVector3D(0, 160, 0)});
        view.setHighlightedJoint(nullptr);
        QCOMPARE(centres(view, view.getScene().whiteMaterial).size(), 8);
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

    // The body centre is computed from the segment centres, so they are fetched whenever a
    // marker is shown; with none shown the view keeps the centres of the frame it last computed.
    void displayFlags()
    {
        QFETCH(bool, segments);
        QFETCH(bool, body);
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.setMathObject(&fixture.physics);
        const std::vector<Vector3f> frameZero = view.getSegmentCentres();
        view.segmentMassDisplayed = segments;
        view.bodyMassDisplayed = body;
        fixture.motion.loadFrame(1);
        view.updateSkeletons();
        QCOMPARE(centres(view, view.getScene().redMaterial).size(), segments ? 2 : 0);
        QCOMPARE(view.getSegmentCentres() == frameZero, !segments && !body);
        const QList<QVector3D> magenta = centres(view, view.getScene().magentaMaterial);
        QCOMPARE(magenta.size(), body ? 1 : 0);
        if (body)
            COMPARE_VECTORS(magenta[0], fixture.midpoint("Hips", "Chest")); // the trunk's
    }

    // Without any bound segment the body centre is the origin: no marker is put there. Closing
    // the motion hides everything; a new motion in the same physics object replaces it.
    void emptyModelAndClosedMotion()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        fixture.physics.setSegments({});
        BvhView view;
        view.setMathObject(&fixture.physics);
        view.setHighlightedJoint(fixture.joint("Head"));
        QCOMPARE(visibleCount(view.getScene().getSphereNodes()), 8);
        fixture.motion.clear();
        QVERIFY(!view.getRootJoint() && !view.getHighlightedJoint());
        view.updateSkeletons();
        QCOMPARE(visibleCount(view.getScene().getSphereNodes()) +
                     visibleCount(view.getScene().getCylinderNodes()),
                 0);
        QVERIFY(fixture.load(TestSupport::branchedMotion(30)));
        view.setMathObject(&fixture.physics);
        QCOMPARE(centres(view, view.getScene().whiteMaterial).size(), 30);
    }

    void cameraCommands()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        drag(view, Qt::LeftButton, QPoint(10, 10), QPoint(30, 40));
        const QVector3D dragged = view.getCamera().getEye();
        view.centerCameraOnRoot(); // no motion: nothing to centre on
        view.centerCameraOnRootGround();
        QCOMPARE(view.getCamera().getEye(), dragged);

        fixture.motion.loadFrame(1);
        view.setMathObject(&fixture.physics);
        view.centerCameraOnSelectedJoint(); // nothing selected
        QCOMPARE(view.getCamera().getCenter(), OrbitCamera::defaultCenter);
        view.setHighlightedJoint(fixture.joint("Head"));
        view.centerCameraOnSelectedJoint();
        COMPARE_VECTORS(view.getCamera().getCenter(), fixture.position("Head"));
        QCOMPARE(view.getCamera().getEye(), dragged);

        view.centerCameraOnRoot();
        COMPARE_VECTORS(view.getCamera().getCenter(), QVector3D(30, 90, -20));
        COMPARE_VECTORS(view.getCamera().getEye(), QVector3D(30, 190, 780));
        COMPARE_VECTORS(view.getCamera().getUpVector(), QVector3D(0, 1, 0));
        // A drag keeps the eye's distance from the world origin, not from the centre.
        const float distance = view.getCamera().getEye().length();
        drag(view, Qt::LeftButton, QPoint(50, 50), QPoint(80, 70));
        QVERIFY(qAbs(view.getCamera().getEye().length() - distance) < 1e-2f);

        view.centerCameraOnRootGround();
        COMPARE_VECTORS(view.getCamera().getCenter(), QVector3D(30, 0, -20));
        COMPARE_VECTORS(view.getCamera().getEye(), QVector3D(30, 100, 780));
        COMPARE_VECTORS(view.getCamera().getUpVector(), QVector3D(0, 1, 0));
        view.resetCamera();
        QCOMPARE(view.getCamera().getEye(), OrbitCamera::defaultEye);
        QCOMPARE(view.getCamera().getCenter(), OrbitCamera::defaultCenter);
    }

    void mouseDrag_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<QVector3D>("eye");
        QTest::addColumn<QVector3D>("up");
        // Each move turns the eye by a fixed step whatever the distance moved: about the y axis
        // by h, or about the horizontal axis eye x y by v, which grows with the eye's distance
        // from the y axis (800). A pan shifts eye and centre together by panStep along each
        // axis the mouse moved on.
        const float h = 2 * std::atan(0.015f), sh = 800 * std::sin(h), ch = 800 * std::cos(h);
        const float v = 2 * std::atan(0.015f * 0.015f / 2 * 800), s = std::sin(v), c = std::cos(v);
        const QVector3D up(0, 1, 0);
        QTest::newRow("slow right") << 1 << QPoint(1, 0) << QVector3D(-sh, 100, ch) << up;
        QTest::newRow("fast right") << 1 << QPoint(60, 0) << QVector3D(-sh, 100, ch) << up;
        QTest::newRow("slow left") << 1 << QPoint(-1, 0) << QVector3D(sh, 100, ch) << up;
        QTest::newRow("down") << 1 << QPoint(0, 5)
                              << QVector3D(0, 100 * c + 800 * s, 800 * c - 100 * s)
                              << QVector3D(0, c, -s);
        QTest::newRow("up") << 1 << QPoint(0, -5)
                            << QVector3D(0, 100 * c - 800 * s, 800 * c + 100 * s)
                            << QVector3D(0, c, s);
        QTest::newRow("pan right") << 2 << QPoint(40, 0) << QVector3D(-0.01f, 100, 800) << up;
        QTest::newRow("pan left") << 2 << QPoint(-1, 0) << QVector3D(0.01f, 100, 800) << up;
        QTest::newRow("pan up, right")
            << 2 << QPoint(7, -9) << QVector3D(-0.01f, 99.99f, 800) << up;
    }

    void mouseDrag()
    {
        QFETCH(int, button);
        QFETCH(QPoint, move);
        QFETCH(QVector3D, eye);
        QFETCH(QVector3D, up);
        BvhView view;
        drag(view, Qt::MouseButton(button), QPoint(100, 100), QPoint(100, 100) + move);
        COMPARE_VECTORS(view.getCamera().getEye(), eye, 1e-2f);
        const QVector3D center =
            button == Qt::RightButton ? eye - OrbitCamera::defaultEye : OrbitCamera::defaultCenter;
        COMPARE_VECTORS(view.getCamera().getCenter(), center, 1e-4f);
        COMPARE_VECTORS(view.getCamera().getUpVector(), up, 1e-5f);
    }

    void otherMouseEvents()
    {
        BvhView view;
        send(view, QEvent::MouseMove, Qt::NoButton, QPoint(90, 70)); // no button held
        send(view, QEvent::MouseButtonPress, Qt::MiddleButton, QPoint(10, 10));
        send(view, QEvent::MouseMove, Qt::NoButton, QPoint(30, 50));
        QCOMPARE(view.getCamera().getEye(), OrbitCamera::defaultEye);
        QCOMPARE(view.getCamera().getCenter(), OrbitCamera::defaultCenter);

        // Each wheel notch takes the eye 10% closer to the centre, or further from it.
        wheel(view, 240);
        COMPARE_VECTORS(view.getCamera().getEye(), OrbitCamera::defaultEye * 0.81f);
        wheel(view, -120);
        COMPARE_VECTORS(view.getCamera().getEye(), OrbitCamera::defaultEye * 0.9f);

        // A double click resets the camera, even in the middle of a drag.
        send(view, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(10, 10));
        send(view, QEvent::MouseButtonPress, Qt::RightButton, QPoint(10, 10));
        QVERIFY(view.isRotating() && view.isPanning());
        send(view, QEvent::MouseButtonDblClick, Qt::LeftButton, QPoint(10, 10));
        QCOMPARE(view.getCamera().getEye(), OrbitCamera::defaultEye);
        send(view, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(10, 10));
        QVERIFY(!view.isRotating() && !view.isPanning());
    }

    // The figure, its highlighted arm joint and both kinds of marker seen from the camera
    // centred on the root: lit, a full channel reads above 170 and an empty one below 85.
    void drawsTheFigure()
    {
        ViewFixture fixture;
        QVERIFY(fixture.load());
        BvhView view;
        view.resize(640, 480);
        view.setMathObject(&fixture.physics);
        view.setHighlightedJoint(fixture.joint("LeftArm"));
        view.centerCameraOnRoot();
        view.show(); // the first paint must show the state set before
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage image = view.grabFramebuffer();
        const QMatrix4x4 toScreen =
            view.getCamera().projectionMatrix(640.0f / 480) * view.getCamera().viewMatrix();
        const auto pixelAt = [&](const QVector3D& point) {
            const QVector3D ndc = toScreen.map(point);
            return QPoint(qRound((ndc.x() + 1) * 320 - 0.5f), qRound((1 - ndc.y()) * 240 - 0.5f));
        };
        const auto pixel = [&](const QVector3D& point) { return image.pixel(pixelAt(point)); };
        const auto looksLike = [](QRgb value, QRgb colour) {
            return qAbs(qRed(value) - qRed(colour)) < 85 &&
                   qAbs(qGreen(value) - qGreen(colour)) < 85 &&
                   qAbs(qBlue(value) - qBlue(colour)) < 85;
        };
        const QRgb white = qRgb(255, 255, 255);
        // The camera looks at the root, which lands in the middle whatever the projection.
        QVERIFY(looksLike(image.pixel(320, 240), white));
        const std::pair<QVector3D, QRgb> items[] = {{QVector3D(80, 130, 0), white},
                                                    {QVector3D(0, 160, 0), white},
                                                    {QVector3D(40, 130, 0), qRgb(255, 255, 0)},
                                                    {QVector3D(20, 130, 0), qRgb(255, 0, 0)},
                                                    {QVector3D(0, 110, 0), qRgb(255, 0, 255)}};
        for (const auto& [point, colour] : items)
            QVERIFY2(looksLike(pixel(point), colour), qPrintable(QColor(pixel(point)).name()));

        // The corners lie above the horizon; idle pool nodes used to show at (50, 50, 50).
        const QRgb background = BvhView::getBackgroundColour().rgb();
        QCOMPARE(image.pixel(3, 3), background);
        QCOMPARE(image.pixel(636, 3), background);
        QVERIFY(!looksLike(pixel(QVector3D(50, 50, 50)), white));
        // In front of the figure the ground grid is all there is: a grey line through x = 0 (on
        // one of the three pixels across its projection), the background halfway to the next.
        const auto grey = [&](int dx) {
            const QRgb value = image.pixel(pixelAt(QVector3D(0, 0, 110)) + QPoint(dx, 0));
            return qGray(value) > qGray(background) + 20 && qAbs(qRed(value) - qBlue(value)) < 20;
        };
        QVERIFY(grey(-1) || grey(0) || grey(1));
        QCOMPARE(pixel(QVector3D(view.getScene().getGridSpacing() / 2, 0, 110)), background);
    }
};

QTEST_MAIN(TestBvhView)
#include "tst_bvhview.moc"
