#include "document/motiondocument.h"
#include "skeleton/skeletonprofiles.h"
#include "support/testsupport.h"
#include "view/bvhview.h"
#include "view/mesh.h"
#include "view/skeletonscene.h"

#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

// Scene positions and the camera are single precision, of order 100 to 1000, and pass through
// 4x4 transforms; 1e-3 is well above their rounding and below any step of the view.
static bool nearlyEqual(const QVector3D& a, const QVector3D& b, float tolerance = 1e-3f)
{
    return (a - b).length() <= tolerance;
}

static bool nearlyEqual(const QList<QVector3D>& a, const QList<QVector3D>& b)
{
    const auto near = [](const QVector3D& x, const QVector3D& y) { return nearlyEqual(x, y); };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), near);
}

static QVector3D toQVector(const Vector3f& v)
{
    return QVector3D(v.x(), v.y(), v.z());
}

static int visibleCount(const std::vector<SceneNode>& nodes)
{
    return int(std::count_if(nodes.begin(), nodes.end(), [](auto& n) { return n.isVisible(); }));
}

// Where the view shows spheres of the material.
static QList<QVector3D> centres(const BvhView& view, const Material& material)
{
    QList<QVector3D> result;
    for (const SceneNode& node : view.getScene().getSphereNodes()) {
        if (node.isVisible() && node.getMaterial() == &material)
            result.append(node.getLocalTransform().map(QVector3D()));
    }
    return result;
}

// The sphere mesh has radius 1: `radius` is the scale the node gives it.
static bool sphereAt(const SceneNode& node, const QVector3D& centre, float radius,
                     const Material& material)
{
    const QMatrix4x4& m = node.getLocalTransform();
    return node.isVisible() && node.getMaterial() == &material &&
           nearlyEqual(m.map(QVector3D()), centre) &&
           nearlyEqual(m.mapVector(QVector3D(1, 0, 0)), QVector3D(radius, 0, 0));
}

// The cylinder mesh runs from z = -0.5 to 0.5 with radius 1.25: placed, its ends are the two
// joints and its radius is unchanged, by a turn and not a mirror.
static bool boneFrom(const SceneNode& node, const Vector3f& from, const Vector3f& to)
{
    const QMatrix4x4& m = node.getLocalTransform();
    const QVector3D radial = m.mapVector(QVector3D(1.25f, 0, 0));
    return node.isVisible() && nearlyEqual(m.map(QVector3D(0, 0, -0.5f)), toQVector(from)) &&
           nearlyEqual(m.map(QVector3D(0, 0, 0.5f)), toQVector(to)) && m.determinant() > 0 &&
           qAbs(radial.length() - 1.25f) < 1e-4f &&
           qAbs(QVector3D::dotProduct(radial, toQVector(to - from))) < 1e-2f;
}

static void drag(BvhView& view, Qt::MouseButton button, QPoint from, QPoint to)
{
    QTest::mousePress(&view, button, {}, from);
    QTest::mouseMove(&view, to);
    QTest::mouseRelease(&view, button, {}, to);
}

// A figure as the main window hands it to the view (tests/data/gui_figure.bvh, posed as iPi
// Studio's files are): root Hips at (0, 90, 0), with
//   Chest (0, 130, 0) -> Head (0, 160, 0) -> End Site (0, 170, 0),
//   Chest -> LeftArm (40, 130, 0) -> End Site (80, 130, 0),
//   Hips -> LeftLeg (-20, 10, 0) -> End Site (-20, 0, 0)
// in frame 0 (frame 1 moves the root by (30, 0, -20) and bends the chest), and two mass
// segments: the upper arm (centre (20, 130, 0), mass 0) and the trunk (centre (0, 110, 0),
// mass 1), so the body centre is the trunk's centre.
struct Figure
{
    bool
    load(const QByteArray& text = TestSupport::readFile(TestSupport::dataPath("gui_figure.bvh")))
    {
        if (!document.open(TestSupport::writeFile(dir, QStringLiteral("figure.bvh"), text)).ok())
            return false;
        SetupRequest ipi;
        ipi.profileName = QStringLiteral("ipi");
        document.setSetupRequest(ipi);
        document.setModel(TestSupport::segmentModel("Chest>LeftArm 0.5 0;Hips>Chest 0.5 1;"));
        return true;
    }

    BvhJoint* joint(const char* name) const
    {
        return document.getMotion().root->getJointByName(name);
    }

    // Where the joint is in `frame` (the frame shown unless given).
    QVector3D at(const char* name, int frame = -1) const
    {
        const std::vector<Vector3f> posed =
            document.posedJoints(frame < 0 ? document.getCurrentFrame() : frame);
        return toQVector(posed[size_t(document.indexOf(joint(name)))]);
    }

    QTemporaryDir dir;
    MotionDocument document{SkeletonProfiles::load({})};
};

// The meshes and what the scene puts where, without any GL; the view's placement of the
// skeleton (without a GL context unless shown), its camera commands and mouse handling, and one
// frame drawn under a real (software) OpenGL.
class TestBvhView : public QObject
{
    Q_OBJECT

private slots:
    void closedMeshes_data()
    {
        QTest::addColumn<int>("depth"); // 0: a cylinder of 6 slices, 3 layers
        QTest::addColumn<int>("triangles");
        QTest::newRow("coarsest sphere") << 2 << 4 * 2 * 2 - 2 * 4;
        QTest::newRow("finest sphere (depth clamped to 7)") << 9 << 128 * 64 * 2 - 2 * 128;
        QTest::newRow("cylinder") << 0 << 6 * 3 * 2;
    }

    // Every vertex of a triangle lies on the surface with a unit normal, and every triangle turns
    // counter-clockwise seen from outside: the lighting tells a bone's outside by it. A sphere
    // of depth d has 2^d slices and 2^(d-1) stacks (d clamped to 2..7), the two polar stacks
    // with one triangle per slice.
    void closedMeshes()
    {
        QFETCH(int, depth);
        QFETCH(int, triangles);
        const bool sphere = depth > 0;
        const Mesh mesh = sphere ? Mesh::sphere(2.0f, depth) : Mesh::cylinder(2.5f, 2.5f, 1, 6, 3);
        QCOMPARE(mesh.getIndexCount(), 3 * triangles);
        const std::vector<quint16>& index = mesh.getIndices();
        for (size_t t = 0; t < index.size(); t += 3) {
            QVector3D p[3], n[3];
            for (size_t k = 0; k < 3; ++k) {
                QVERIFY(index[t + k] < mesh.getVertexCount());
                p[k] = mesh.getPosition(index[t + k]);
                n[k] = mesh.getNormal(index[t + k]);
                const float radius = sphere ? p[k].length() : p[k].toVector2D().length();
                QVERIFY2(qAbs(n[k].length() - 1) < 1e-5f &&
                             qAbs(radius - (sphere ? 1 : 1.25f)) < 1e-5f &&
                             (sphere || qAbs(p[k].z()) <= 0.5f + 1e-6f),
                         qPrintable(QString::number(index[t + k])));
            }
            const QVector3D face = QVector3D::crossProduct(p[1] - p[0], p[2] - p[0]);
            QVERIFY2(face.length() > 1e-6f && QVector3D::dotProduct(face, n[0] + n[1] + n[2]) > 0,
                     qPrintable(QString::number(t)));
        }
    }

    // Spheres go to the joints in order, the highlighted one yellow and twice as large (until
    // another is highlighted), then to the segment centres, then to the body centre. The pools
    // start at 78 nodes and grow for a larger skeleton (regression: every joint past the end
    // went to the last node, segment markers vanished for skeletons of 77 joints or more); nodes
    // no longer used are hidden. A bone along the mesh axis gives no axis to turn about; a bone
    // of length 0 gave a NaN turn (regression) and is not drawn.
    void placesJointsBonesAndMarkers()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        const std::vector<SceneNode>& spheres = scene.getSphereNodes();
        const std::vector<SceneNode>& bones = scene.getCylinderNodes();
        QCOMPARE(visibleCount(spheres) + visibleCount(bones), 0);
        std::vector<Vector3f> chain;
        std::vector<int> parents;
        for (int i = 0; i < 200; ++i) {
            chain.emplace_back(float(i), float(i % 7), float(i % 3));
            parents.push_back(i - 1);
        }
        scene.place(chain, parents, 3, std::vector(14, Vector3f(3, 3, 3)), Vector3f(1, 1, 1));
        QCOMPARE(visibleCount(spheres), 200 + 14 + 1);
        QCOMPARE(visibleCount(bones), 199);
        for (int i = 0; i < 200; ++i) {
            QVERIFY(sphereAt(spheres[i], toQVector(chain[i]), i == 3 ? 4 : 2,
                             i == 3 ? scene.yellowMaterial : scene.whiteMaterial));
            QVERIFY(i == 0 || boneFrom(bones[i - 1], chain[i - 1], chain[i]));
        }
        QVERIFY(sphereAt(spheres[213], QVector3D(3, 3, 3), 2, scene.redMaterial));
        QVERIFY(sphereAt(spheres[214], QVector3D(1, 1, 1), 4, scene.magentaMaterial));

        const std::vector<Vector3f> joints{Vector3f(5, 5, 5), Vector3f(5, 5, 30), Vector3f(5, 5, 5),
                                           Vector3f(5, 5, 5)};
        scene.place(joints, parents, -1, {}, std::nullopt);
        QVERIFY(boneFrom(bones[0], joints[0], joints[1]) &&
                boneFrom(bones[1], joints[1], joints[2]));
        QCOMPARE(std::pair(visibleCount(spheres), visibleCount(bones)), std::pair(4, 2));
        QVERIFY(sphereAt(spheres[3], toQVector(joints[3]), 2, scene.whiteMaterial));
    }

    void gridSpacing_data()
    {
        QTest::addColumn<float>("reach");
        QTest::addColumn<float>("spacing");
        QTest::newRow("a human in inches") << 36.0f << 5.0f;
        QTest::newRow("in metres") << 0.95f << 0.2f;
        QTest::newRow("exactly a round quarter") << 40.0f << 10.0f;
        QTest::newRow("just under five") << 19.9f << 2.0f;
        QTest::newRow("no bones") << 0.0f << 10.0f;
    }

    // A round spacing of about a quarter of the skeleton's reach.
    void gridSpacing()
    {
        QFETCH(float, reach);
        QFETCH(float, spacing);
        QCOMPARE(SkeletonScene::gridSpacingFor(reach), spacing);
    }

    void placesTheCurrentFrame_data()
    {
        QTest::addColumn<bool>("segments");
        QTest::addColumn<bool>("body");
        QTest::addColumn<bool>("declared"); // posed in the declared rotation order
        QTest::newRow("both markers") << true << true << false;
        QTest::newRow("segment markers") << true << false << false;
        QTest::newRow("body marker") << false << true << false;
        QTest::newRow("no markers") << false << false << false;
        QTest::newRow("both markers, declared order") << true << true << true;
    }

    // In the document's current frame, posed in the document's convention, a white sphere on
    // every joint but the highlighted one (yellow), a bone to every joint but the root, red
    // markers on the segment centres and a magenta one on the body's (the trunk carries all the
    // mass), each kind as it is switched on. The body centre is computed from the segment
    // centres, so they are fetched whenever a marker is shown; with none shown the view keeps the
    // centres of the frame it last computed. Without any bound segment the body centre is the
    // origin: no marker is put there. Closing the motion hides everything; a motion opened in
    // the same document replaces it.
    void placesTheCurrentFrame()
    {
        QFETCH(bool, segments);
        QFETCH(bool, body);
        QFETCH(bool, declared);
        Figure figure;
        QVERIFY(figure.load());
        if (declared) { // the chest's Z X Y turn of frame 1 lands elsewhere than X·Y·Z's
            SetupRequest request = figure.document.getSetupRequest();
            request.convention = PoseConvention::standard();
            figure.document.setSetupRequest(request);
        }
        BvhView view;
        const SkeletonScene& scene = view.getScene();
        view.setDocument(&figure.document);
        const std::vector<Vector3f> frameZero = view.getSegmentCentres();
        view.segmentMassDisplayed = segments;
        view.bodyMassDisplayed = body;
        figure.document.setCurrentFrame(1);
        figure.document.setSelectedJoint(figure.document.indexOf(figure.joint("Head")));
        QList<QVector3D> white;
        const std::vector<Vector3f> posed = figure.document.posedJoints(1);
        for (size_t i = 0; i < posed.size(); ++i) {
            if (qsizetype(i) != figure.document.indexOf(figure.joint("Head")))
                white << toQVector(posed[i]);
        }
        QVERIFY(nearlyEqual(centres(view, scene.whiteMaterial), white));
        QVERIFY(nearlyEqual(centres(view, scene.yellowMaterial), {figure.at("Head")}));
        QVERIFY(!nearlyEqual(figure.at("Head"), figure.at("Head", 0))); // frame 1, not 0
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 7);
        const QVector3D trunk = (figure.at("Hips") + figure.at("Chest")) / 2;
        const QList<QVector3D> red{(figure.at("Chest") + figure.at("LeftArm")) / 2, trunk}, none;
        QVERIFY(nearlyEqual(centres(view, scene.redMaterial), segments ? red : none));
        QVERIFY(nearlyEqual(centres(view, scene.magentaMaterial), body ? QList{trunk} : none));
        QCOMPARE(view.getSegmentCentres() == frameZero, !segments && !body);
        // A model that leaves part of the body out has no body centre to show.
        figure.document.setModel(
            TestSupport::segmentModel("Chest>LeftArm 0.5 0;Hips>Chest 0.5 1;Tail>Hips 0.5 0;"));
        QVERIFY(nearlyEqual(centres(view, scene.redMaterial), segments ? red : none));
        QVERIFY(centres(view, scene.magentaMaterial).isEmpty());

        figure.document.setModel({});
        figure.document.setSelectedJoint(-1);
        QCOMPARE(centres(view, scene.whiteMaterial).size(), 8);
        QCOMPARE(visibleCount(scene.getSphereNodes()), 8);
        figure.document.close();
        QCOMPARE(visibleCount(scene.getSphereNodes()) + visibleCount(scene.getCylinderNodes()), 0);
        QVERIFY(figure.load(TestSupport::branchedMotion(30)));
        QCOMPARE(centres(view, scene.whiteMaterial).size(), 30);
    }

    // Showing a document frames the figure over its motion: every joint of every frame well
    // inside the image, the farthest at least half way out. A double click, Home and Reset return
    // to the fit after a drag; centring on a joint or the root keeps the camera's distance and
    // direction. Without a motion the camera stays at its default.
    void cameraCommands()
    {
        Figure figure;
        QVERIFY(figure.load());
        BvhView view;
        view.resize(400, 300);
        const OrbitCamera& camera = view.getCamera();
        const auto state = [&] {
            return QList{camera.getCenter(), camera.getEye(), camera.getUpVector()};
        };
        view.fitSkeleton();
        view.centerCameraOnRoot(); // nothing to centre on
        QCOMPARE(state(), QList({OrbitCamera::defaultCenter, OrbitCamera::defaultEye,
                                 OrbitCamera::defaultUpVector}));

        view.setDocument(&figure.document); // framed at once
        const QList<QVector3D> fitted = state();
        const QMatrix4x4 toScreen = camera.projectionMatrix(400.0f / 300) * camera.viewMatrix();
        float farthest = 0;
        for (int frame : {0, 1}) {
            for (const Vector3f& joint : figure.document.posedJoints(frame)) {
                const QVector3D ndc = toScreen.map(toQVector(joint));
                farthest = std::max({farthest, qAbs(ndc.x()), qAbs(ndc.y())});
            }
        }
        QVERIFY2(farthest > 0.5f && farthest < 0.9f, qPrintable(QString::number(farthest)));
        // Joints are drawn in proportion to the figure, whatever its size or unit.
        const QMatrix4x4& hips = view.getScene().getSphereNodes()[0].getLocalTransform();
        QVERIFY(qAbs(hips.mapVector(QVector3D(1, 0, 0)).length() -
                     SkeletonScene::jointScale * view.getFigureSize() /
                         BvhView::referenceFigureSize) < 1e-4f);

        for (const auto& back : std::initializer_list<std::function<void()>>{
                 [&] { QTest::keyClick(&view, Qt::Key_Home); },
                 [&] { QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(10, 10)); },
                 [&] { view.resetCamera(); }}) {
            drag(view, Qt::LeftButton, QPoint(10, 10), QPoint(30, 40));
            QVERIFY(!nearlyEqual(state(), fitted));
            back();
            QVERIFY(nearlyEqual(state(), fitted));
        }

        figure.document.setSelectedJoint(figure.document.indexOf(figure.joint("Head")));
        view.centerCameraOnSelectedJoint();
        QVERIFY(nearlyEqual(
            state(), {figure.at("Head"), figure.at("Head") + fitted[1] - fitted[0], fitted[2]}));
        view.centerCameraOnRoot();
        QVERIFY(nearlyEqual(state(),
                            {{0, 90, 0}, QVector3D(0, 90, 0) + fitted[1] - fitted[0], fitted[2]}));
        view.centerCameraOnRootGround();
        QVERIFY(nearlyEqual(camera.getCenter(), QVector3D(0, 0, 0)));
    }

    // Where the camera shows a point, in pixels of the view.
    static QPointF onScreen(const BvhView& view, const QVector3D& point)
    {
        const OrbitCamera& camera = view.getCamera();
        const QVector3D ndc = (camera.projectionMatrix(float(view.width()) / float(view.height())) *
                               camera.viewMatrix())
                                  .map(point);
        return {(ndc.x() + 1) * view.width() / 2, (1 - ndc.y()) * view.height() / 2};
    }

    // The heading of the eye about the centre, and its elevation above the ground, in degrees.
    static std::pair<float, float> eyeAngles(const OrbitCamera& camera)
    {
        const QVector3D offset = camera.getEye() - camera.getCenter();
        return {qRadiansToDegrees(std::atan2(offset.x(), offset.z())),
                qRadiansToDegrees(std::asin(offset.y() / offset.length()))};
    }

    void orbit_data()
    {
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<int>("steps");
        QTest::addColumn<float>("yaw");
        QTest::addColumn<float>("pitch");
        QTest::newRow("20 px to the side in one move") << QPoint(20, 0) << 1 << -8.0f << 0.0f;
        QTest::newRow("200 px to the side in ten moves") << QPoint(200, 0) << 10 << -80.0f << 0.0f;
        QTest::newRow("5 px down in five moves") << QPoint(0, 5) << 5 << 0.0f << 2.0f;
    }

    // A left drag orbits by 0.4 degrees per pixel, however many move events it takes; the
    // distance stays.
    void orbit()
    {
        QFETCH(QPoint, move);
        QFETCH(int, steps);
        QFETCH(float, yaw);
        QFETCH(float, pitch);
        Figure figure;
        QVERIFY(figure.load());
        BvhView view;
        view.resize(400, 300);
        view.setDocument(&figure.document);
        const auto [heading, elevation] = eyeAngles(view.getCamera());
        const float distance = view.getCamera().getDistance();
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(100, 100));
        for (int k = 1; k <= steps; ++k)
            QTest::mouseMove(&view, QPoint(100, 100) + move * k / steps);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(100, 100) + move);
        const auto [newHeading, newElevation] = eyeAngles(view.getCamera());
        QVERIFY2(qAbs(newHeading - heading - yaw) < 0.01f &&
                     qAbs(newElevation - elevation - pitch) < 0.01f &&
                     qAbs(view.getCamera().getDistance() - distance) < 1e-2f,
                 qPrintable(QStringLiteral("%1 %2").arg(newHeading).arg(newElevation)));
    }

    // No drag tilts the view past 85 degrees. A right drag moves the scene with the cursor: the
    // centre's image moves by the drag. Two wheel notches bring the eye to 0.81 of its distance
    // toward the point under the cursor, which stays under it. The middle button does nothing.
    void tiltPanAndZoom()
    {
        Figure figure;
        QVERIFY(figure.load());
        BvhView view;
        view.resize(400, 300);
        view.setDocument(&figure.document);
        drag(view, Qt::LeftButton, QPoint(100, 10), QPoint(100, 290));
        QVERIFY(qAbs(eyeAngles(view.getCamera()).second - 85.0f) < 0.01f);
        drag(view, Qt::LeftButton, QPoint(100, 290), QPoint(100, 10));
        drag(view, Qt::LeftButton, QPoint(100, 290), QPoint(100, 10));
        QVERIFY(qAbs(eyeAngles(view.getCamera()).second + 85.0f) < 0.01f);

        const QVector3D centre = view.getCamera().getCenter();
        const QPointF before = onScreen(view, centre);
        drag(view, Qt::RightButton, QPoint(50, 50), QPoint(350, 80));
        QVERIFY((onScreen(view, centre) - before - QPointF(300, 30)).manhattanLength() < 0.5);

        drag(view, Qt::MiddleButton, QPoint(10, 10), QPoint(30, 50));
        QVERIFY((onScreen(view, centre) - before - QPointF(300, 30)).manhattanLength() < 0.5);

        const QPointF cursor(320, 60);
        const float distance = view.getCamera().getDistance();
        const OrbitCamera& camera = view.getCamera();
        const QVector3D underCursor =
            camera.getCenter() +
            camera.translation(
                float(cursor.x() - 200) * 2 * OrbitCamera::halfViewTangent * distance / 300,
                -float(cursor.y() - 150) * 2 * OrbitCamera::halfViewTangent * distance / 300, 0);
        QWheelEvent event(cursor, cursor, QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &event);
        QVERIFY(qAbs(view.getCamera().getDistance() - 0.81f * distance) < 1e-2f);
        QVERIFY((onScreen(view, underCursor) - cursor).manhattanLength() < 0.5);
    }

    void framesEveryRecording_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("sample walk") << QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh");
        for (const QString& name : QDir(TestSupport::dataPath("real")).entryList({"*.bvh"}))
            QTest::newRow(qPrintable(name)) << TestSupport::dataPath("real/" + name);
    }

    // Shown as the window shows it (its profile's convention and up axis, then fitted), each
    // recording's skeleton lies inside the image with a margin and stands at least 30% of the
    // image's height: the pixels brighter than background and grid span that box. Shown at
    // four more frames spread over the motion (followed, if the view follows it), the skeleton
    // stays inside the image.
    void framesEveryRecording()
    {
        QFETCH(QString, file);
        MotionDocument document(SkeletonProfiles::load({}));
        QVERIFY(document.open(file).ok());
        BvhView view;
        view.resize(640, 480);
        view.setDocument(&document); // turned upright and framed
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRect inner = QRect(0, 0, 640, 480).marginsRemoved(QMargins(13, 10, 13, 10)); // 2%
        for (int quarter = 0; quarter <= 4; ++quarter) {
            const int frame = quarter * document.lastFrame() / 4;
            document.setCurrentFrame(frame);
            const QImage image = view.grabFramebuffer();
            QRect figure;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (std::max({c.red(), c.green(), c.blue()}) >= 150)
                        figure |= QRect(x, y, 1, 1);
                }
            }
            QVERIFY2(inner.contains(figure) &&
                         (frame > 0 || figure.height() >= 0.3 * image.height()),
                     qPrintable(QStringLiteral("frame %1: %2,%3 %4x%5")
                                    .arg(frame)
                                    .arg(figure.x())
                                    .arg(figure.y())
                                    .arg(figure.width())
                                    .arg(figure.height())));
        }
    }

    // One frame drawn: the figure, its highlighted arm joint and the body marker seen from the
    // camera centred on the root, lit (a full channel reads above 170 and an empty one below
    // 85), and the background above the horizon.
    void drawsTheFigure()
    {
        Figure figure;
        QVERIFY(figure.load());
        BvhView view;
        view.resize(640, 480);
        view.setDocument(&figure.document);
        figure.document.setSelectedJoint(figure.document.indexOf(figure.joint("LeftArm")));
        view.centerCameraOnRoot();
        view.show(); // the first paint must show the state set before
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage image = view.grabFramebuffer();
        QCOMPARE(image.pixel(3, 3), BvhView::getBackgroundColour().rgb());
        const QMatrix4x4 toScreen =
            view.getCamera().projectionMatrix(640.0f / 480) * view.getCamera().viewMatrix();
        const std::pair<QVector3D, QColor> items[] = {{{0, 90, 0}, Qt::white},
                                                      {{0, 160, 0}, Qt::white},
                                                      {{40, 130, 0}, Qt::yellow},
                                                      {{0, 110, 0}, Qt::magenta}};
        for (const auto& [point, colour] : items) {
            const QVector3D ndc = toScreen.map(point);
            const QColor value =
                image.pixel(qRound((ndc.x() + 1) * 320 - 0.5f), qRound((1 - ndc.y()) * 240 - 0.5f));
            QVERIFY2(
                std::max({qAbs(value.red() - colour.red()), qAbs(value.green() - colour.green()),
                          qAbs(value.blue() - colour.blue())}) < 85,
                qPrintable(value.name()));
        }
    }
};

QTEST_MAIN(TestBvhView)
#include "tst_bvhview.moc"
