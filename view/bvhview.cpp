#include "bvhview.h"

#include "model/poseevaluator.h"

#include <QHash>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSurfaceFormat>
#include <QWheelEvent>

#include <cmath>
#include <optional>

// Samples per pixel of the view: 4 where the graphics hardware smooths edges cheaply, none on
// a software renderer (a virtual display, a remote session, a machine without a GPU driver),
// where multisampling quadruples the work of every pixel and playback would fall well short
// of 60 frames a second. Asked of the driver once, through a context of its own.
static int preferredSamples()
{
    static const int samples = [] {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        if (!context.create() || !context.makeCurrent(&surface))
            return 4; // the view's own context will tell; without one nothing is drawn
        const auto* renderer =
            reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
        const QByteArray name = QByteArray(renderer ? renderer : "").toLower();
        context.doneCurrent();
        for (const char* software : {"llvmpipe", "softpipe", "swrast", "software", "swiftshader"}) {
            if (name.contains(software))
                return 0;
        }
        return 4;
    }();
    return samples;
}

static QVector3D toQVector(const Vector3f& v)
{
    return QVector3D(v.x(), v.y(), v.z());
}

BvhView::BvhView(QWidget* parent)
    : QOpenGLWidget(parent), scene(float(jointDiameter), float(boneDiameter), poolSize)
{
    QSurfaceFormat surfaceFormat = format();
    surfaceFormat.setDepthBufferSize(24);
    // Smooth edges where the driver offers multisampling; without it the format falls back.
    surfaceFormat.setSamples(preferredSamples());
    setFormat(surfaceFormat);
    setMouseTracking(true);
}

BvhView::~BvhView()
{
    releaseGL();
    // The base class destroys the context after this object's members are gone.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

void BvhView::setMathObject(BvhMathObject* math)
{
    mathObject = math;
    const BvhFile* motion = math ? math->getBvhFile() : nullptr;
    rootJoint = motion ? motion->root.data() : nullptr;
    updateSkeletons();
}

void BvhView::setHighlightedJoint(BvhJoint* jointPtr)
{
    highlightedJoint = jointPtr;
    updateSkeletons();
}

void BvhView::refreshPoseEvaluator()
{
    if (poseEvaluator && evaluatedRoot == rootJoint)
        return;
    poseEvaluator = std::make_unique<PoseEvaluator>(rootJoint);
    evaluatedRoot = rootJoint;
    const QList<BvhJoint*>& joints = poseEvaluator->getJoints();
    QHash<const BvhJoint*, int> indexOf;
    for (qsizetype i = 0; i < joints.size(); ++i)
        indexOf.insert(joints[i], int(i));
    // The grid follows the skeleton's size in the rest pose, so it does not change scale
    // while the motion plays.
    parentIndices.assign(size_t(joints.size()), -1);
    std::vector<float> reach(size_t(joints.size()), 0.0f);
    float longestReach = 0;
    for (qsizetype i = 1; i < joints.size(); ++i) {
        const int parent = indexOf.value(joints[i]->getParentJoint(), -1);
        parentIndices[size_t(i)] = parent;
        if (parent >= 0)
            reach[size_t(i)] = reach[size_t(parent)] + joints[i]->getOffset().norm();
        longestReach = std::max(longestReach, reach[size_t(i)]);
    }
    scene.setGridSpacing(SkeletonScene::gridSpacingFor(longestReach));
}

void BvhView::updateSkeletons()
{
    if (!rootJoint) {
        scene.hideSkeleton();
        update();
        return;
    }
    refreshPoseEvaluator();
    poseEvaluator->evaluate();

    // The markers come from the very positions the skeleton is drawn at.
    std::optional<Vector3f> bodyCentre;
    if (mathObject && (segmentMassDisplayed || bodyMassDisplayed)) {
        const CentresOfMass& centres = mathObject->computeCentres(poseEvaluator->getPositions());
        segmentCentres = centres.segmentCentres;
        // A model that leaves out part of the body, or whose fractions do not sum to 1, puts
        // its weighted sum off the body: no body centre then.
        if (bodyMassDisplayed && mathObject->getBinding().isComplete())
            bodyCentre = centres.body;
    }
    std::span<const Vector3f> shownSegments;
    if (mathObject && segmentMassDisplayed)
        shownSegments = segmentCentres;

    const qsizetype highlighted =
        highlightedJoint ? poseEvaluator->getJoints().indexOf(highlightedJoint.data()) : -1;
    scene.place(poseEvaluator->getPositions(), parentIndices, highlighted, shownSegments,
                bodyCentre);
    update();
}

Vector3f BvhView::placedPosition(const BvhJoint* joint) const
{
    if (!poseEvaluator || !joint)
        return Vector3f::Zero();
    const qsizetype index = poseEvaluator->getJoints().indexOf(const_cast<BvhJoint*>(joint));
    return index >= 0 ? poseEvaluator->getPosition(index) : Vector3f::Zero();
}

void BvhView::resetCamera()
{
    camera.setUpVector(OrbitCamera::defaultUpVector);
    camera.setEye(OrbitCamera::defaultEye);
    camera.setCenter(OrbitCamera::defaultCenter);
    update();
}

void BvhView::centerCameraOnSelectedJoint()
{
    if (!highlightedJoint)
        return;
    camera.setCenter(toQVector(placedPosition(highlightedJoint)));
    update();
}

void BvhView::centerCameraOnRoot()
{
    if (!rootJoint)
        return;
    const QVector3D root = toQVector(placedPosition(rootJoint));
    camera.setUpVector(QVector3D(0, 1, 0));
    camera.setEye(root + QVector3D(0, 100, 800));
    camera.setCenter(root);
    update();
}

void BvhView::centerCameraOnRootGround()
{
    if (!rootJoint)
        return;
    const QVector3D root = toQVector(placedPosition(rootJoint));
    camera.setUpVector(QVector3D(0, 1, 0));
    camera.setEye(QVector3D(root.x(), 100, root.z() + 800));
    camera.setCenter(QVector3D(root.x(), 0, root.z()));
    update();
}

void BvhView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        rotating = true;
    else if (event->button() == Qt::RightButton)
        panning = true;
    lastPos = event->position().toPoint();
}

void BvhView::mouseReleaseEvent(QMouseEvent*)
{
    rotating = false;
    panning = false;
}

void BvhView::mouseDoubleClickEvent(QMouseEvent*)
{
    resetCamera();
}

void BvhView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (rotating)
        rotateCamera(position);
    if (panning)
        panCamera(position);
}

// Each move event turns the camera by a fixed step whatever the distance moved, so slow and
// fast drags turn alike: about 1.7 degrees about the y axis for a horizontal move, and for a
// vertical move about a horizontal axis by an angle that grows with the eye's distance from
// the y axis (about 10 degrees at the default eye). The quaternions are not unit length and
// stretch the eye's distance; it is put back to its distance from the world origin.
void BvhView::rotateCamera(const QPoint& position)
{
    const int dx = position.x() - lastPos.x();
    const int dy = position.y() - lastPos.y();
    const float distance = camera.getEye().length();
    const float step = float(rotateStep);
    if (dx > 0)
        camera.rotateCenter(QQuaternion(-1, 0, step, 0));
    else if (dx < 0)
        camera.rotateCenter(QQuaternion(1, 0, step, 0));
    const QVector3D axis =
        QVector3D::crossProduct(camera.getEye(), QVector3D(0, step, 0)) * (step * 0.5f);
    if (dy > 0)
        camera.rotateCenter(QQuaternion(1, axis));
    else if (dy < 0)
        camera.rotateCenter(QQuaternion(-1, axis));
    const QVector3D eye = camera.getEye();
    if (eye.length() > 0)
        camera.setEye(eye * (distance / eye.length()));
    lastPos = position;
    update();
}

// Each move event shifts the centre and the eye together by panStep in the camera's own
// axes, along each axis the mouse moved in, against the horizontal motion.
void BvhView::panCamera(const QPoint& position)
{
    const int dx = position.x() - lastPos.x();
    const int dy = position.y() - lastPos.y();
    const float step = float(panStep);
    const float x = dx > 0 ? step : dx < 0 ? -step : 0.0f;
    const float y = dy > 0 ? step : dy < 0 ? -step : 0.0f;
    // One offset for both, so the view direction does not drift.
    const QVector3D offset = camera.translation(-x, y, 0);
    camera.setCenter(camera.getCenter() + offset);
    camera.setEye(camera.getEye() + offset);
    lastPos = position;
    update();
}

// Each wheel notch brings the eye 10% closer to the centre, or takes it 10% further away.
void BvhView::wheelEvent(QWheelEvent* event)
{
    const float notches = float(event->angleDelta().y()) / 120.0f;
    if (notches == 0)
        return;
    const QVector3D fromCenter = camera.getEye() - camera.getCenter();
    const QVector3D moved = fromCenter * std::pow(0.9f, notches);
    if (moved.length() > OrbitCamera::nearPlane)
        camera.setEye(camera.getCenter() + moved);
    event->accept();
    update();
}

void BvhView::initializeGL()
{
    // The context is destroyed and recreated when the widget moves to another top-level
    // window; its GL objects go with it and are made again here.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &BvhView::releaseGL);
    renderer.initialize(scene);
}

void BvhView::paintGL()
{
    renderer.render(scene, camera, size() * devicePixelRatio(), getBackgroundColour());
}

void BvhView::releaseGL()
{
    if (!context())
        return;
    makeCurrent();
    renderer.release();
    doneCurrent();
}
