#include "bvhview.h"

#include "model/poseevaluator.h"

#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSurfaceFormat>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
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
    setFocusPolicy(Qt::ClickFocus); // for Home
}

BvhView::~BvhView()
{
    releaseGL();
    // The base class destroys the context after this object's members are gone.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

void BvhView::setDocument(MotionDocument* shown)
{
    if (document)
        disconnect(document, nullptr, this, nullptr);
    document = shown;
    if (document) {
        connect(document, &MotionDocument::motionReplaced, this, &BvhView::frameNewSetup);
        connect(document, &MotionDocument::setupChanged, this, &BvhView::frameNewSetup);
        connect(document, &MotionDocument::currentFrameChanged, this, &BvhView::updateSkeletons);
        connect(document, &MotionDocument::modelChanged, this, &BvhView::updateSkeletons);
        connect(document, &MotionDocument::selectedJointChanged, this, &BvhView::updateSkeletons);
        // An edited offset moves every joint below it: the evaluator takes offsets once.
        connect(document, &MotionDocument::motionEdited, this, [this] {
            poseEvaluator.reset();
            updateSkeletons();
        });
    }
    frameNewSetup();
}

const BvhFile* BvhView::shownMotion() const
{
    return document && document->isOpen() ? &document->getMotion() : nullptr;
}

const BvhJoint* BvhView::getRootJoint() const
{
    const BvhFile* motion = shownMotion();
    return motion ? motion->root.data() : nullptr;
}

void BvhView::frameNewSetup()
{
    poseEvaluator.reset();
    const BvhFile* motion = shownMotion();
    setUpAxis(motion ? document->getSetup().upAxisOf(*motion) : Vector3f::UnitY());
    fitSkeleton();
}

QString BvhView::missingOpenGl()
{
    // Qt's platforms that draw into memory or a remote frame buffer have no OpenGL.
    const QString platform = QGuiApplication::platformName();
    for (const char* name : {"offscreen", "minimal", "vnc", "linuxfb"}) {
        if (platform == QLatin1String(name))
            return tr("the \"%1\" platform has no OpenGL").arg(platform);
    }
    QOpenGLContext context;
    if (!context.create())
        return tr("no OpenGL context can be made on this display");
    return QString();
}

BvhJoint* BvhView::getHighlightedJoint() const
{
    return document ? document->selectedJointPointer() : nullptr;
}

void BvhView::refreshPoseEvaluator()
{
    if (poseEvaluator)
        return;
    poseEvaluator =
        std::make_unique<PoseEvaluator>(getRootJoint(), document->getSetup().convention);
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

// Poses `pose` in the document's current frame (the rest pose for a motion without rows).
static void poseCurrentFrame(PoseEvaluator& pose, const MotionDocument& document)
{
    const BvhFile& motion = document.getMotion();
    const int frame = document.getCurrentFrame();
    if (frame >= 0 && frame < motion.rowCount()) {
        const std::span<const double> row = motion.frames[frame];
        pose.evaluateRow(row);
    } else {
        pose.evaluateRow({});
    }
}

void BvhView::updateSkeletons()
{
    if (!shownMotion()) {
        scene.hideSkeleton();
        update();
        return;
    }
    refreshPoseEvaluator();
    poseCurrentFrame(*poseEvaluator, *document);
    followRoot();

    // The markers come from the very positions the skeleton is drawn at.
    const std::vector<Vector3f>& positions = poseEvaluator->getPositions();
    shownPositions.resize(positions.size());
    for (size_t i = 0; i < positions.size(); ++i)
        shownPositions[i] = shown(positions[i]);
    std::optional<Vector3f> bodyCentre;
    if (segmentMassDisplayed || bodyMassDisplayed) {
        const MotionSetup& setup = document->getSetup();
        CentreOfMass::compute(setup.segments, setup.binding, positions, centres);
        segmentCentres = centres.segmentCentres;
        for (Vector3f& centre : segmentCentres)
            centre = shown(centre);
        // A model that leaves out part of the body, or whose fractions do not sum to 1, puts
        // its weighted sum off the body: no body centre then.
        if (bodyMassDisplayed && setup.binding.isComplete())
            bodyCentre = shown(centres.body);
    }
    std::span<const Vector3f> shownSegments;
    if (segmentMassDisplayed)
        shownSegments = segmentCentres;

    const qsizetype highlighted = document ? document->getSelectedJoint() : -1;
    scene.place(shownPositions, parentIndices, highlighted, shownSegments, bodyCentre);
    placeFloorOverlay();
    update();
}

void BvhView::setFloorOverlay(const FloorOverlay& overlay)
{
    floorOverlay = overlay;
    placeFloorOverlay();
    update();
}

void BvhView::placeFloorOverlay()
{
    FloorOverlay shownOverlay;
    const auto show = [this](const std::optional<Vector3f>& point) -> std::optional<Vector3f> {
        if (point)
            return shown(*point);
        return std::nullopt;
    };
    shownOverlay.centre = show(floorOverlay.centre);
    shownOverlay.extrapolatedCentre = show(floorOverlay.extrapolatedCentre);
    for (const Vector3f& point : floorOverlay.trail)
        shownOverlay.trail.push_back(shown(point));
    for (const Vector3f& point : floorOverlay.support)
        shownOverlay.support.push_back(shown(point));
    scene.placeFloorOverlay(shownOverlay, Vector3f(0, 0.3f * scene.getMarkerScale(), 0));
}

Vector3f BvhView::placedPosition(const BvhJoint* joint) const
{
    if (!poseEvaluator || !joint)
        return Vector3f::Zero();
    const qsizetype index = poseEvaluator->getJoints().indexOf(const_cast<BvhJoint*>(joint));
    return index >= 0 ? shown(poseEvaluator->getPosition(index)) : Vector3f::Zero();
}

void BvhView::resetCamera()
{
    camera = fittedCamera;
    if (followingRoot && getRootJoint())
        followedRoot.reset(); // follow from here on, as after a fit
    update();
}

void BvhView::fitSkeleton()
{
    fit(true);
}

void BvhView::fitCurrentFrame()
{
    fit(false);
}

void BvhView::setFollowingRoot(bool follow)
{
    const bool changed = follow != followingRoot;
    followingRoot = follow;
    followedRoot.reset();
    if (follow)
        followRoot();
    if (changed)
        emit followingRootChanged(followingRoot);
}

void BvhView::setUpAxis(const Vector3f& up)
{
    // Each a quarter or half turn that takes `up` to +y.
    Matrix3f turn = Matrix3f::Identity();
    if (up == Vector3f::UnitZ())
        turn << 1, 0, 0, 0, 0, 1, 0, -1, 0;
    else if (up == -Vector3f::UnitZ())
        turn << 1, 0, 0, 0, 0, -1, 0, 1, 0;
    else if (up == Vector3f::UnitX())
        turn << 0, -1, 0, 1, 0, 0, 0, 0, 1;
    else if (up == -Vector3f::UnitX())
        turn << 0, 1, 0, -1, 0, 0, 0, 0, 1;
    else if (up == -Vector3f::UnitY())
        turn << 1, 0, 0, 0, -1, 0, 0, 0, -1;
    toShown = turn;
    updateSkeletons();
}

// Box of the joints of one frame, as shown.
static void growBox(const std::vector<Vector3f>& positions, const Matrix3f& toShown, Vector3f& low,
                    Vector3f& high)
{
    for (const Vector3f& p : positions) {
        if (!p.allFinite())
            continue;
        low = low.cwiseMin(toShown * p);
        high = high.cwiseMax(toShown * p);
    }
}

void BvhView::fit(bool wholeMotion)
{
    const BvhFile* motion = shownMotion();
    if (!motion) {
        fittedCamera = OrbitCamera();
        camera = fittedCamera;
        update();
        return;
    }
    refreshPoseEvaluator();
    poseCurrentFrame(*poseEvaluator, *document);
    constexpr float infinity = std::numeric_limits<float>::infinity();
    Vector3f frameLow = Vector3f::Constant(infinity), frameHigh = -frameLow;
    growBox(poseEvaluator->getPositions(), toShown, frameLow, frameHigh);
    Vector3f motionLow = frameLow, motionHigh = frameHigh;
    float largestFigure = (frameHigh - frameLow).norm();
    // Up to a few hundred frames spread over the motion tell its extent and the figure's
    // size; the evaluator is a copy, so the frame shown stays as it is.
    if (motion->rowCount() > 0) {
        PoseEvaluator sampler(*poseEvaluator);
        constexpr int samples = 300;
        const int rows = motion->rowCount();
        for (int k = 0; k < std::min(rows, samples); ++k) {
            const std::span<const double> row =
                motion->frames[int(qint64(k) * rows / std::min(rows, samples))];
            sampler.evaluateRow(row);
            Vector3f low = Vector3f::Constant(infinity), high = -low;
            growBox(sampler.getPositions(), toShown, low, high);
            motionLow = motionLow.cwiseMin(low);
            motionHigh = motionHigh.cwiseMax(high);
            if ((high - low).allFinite())
                largestFigure = std::max(largestFigure, (high - low).norm());
        }
    }
    if (!(frameHigh - frameLow).allFinite()) { // no finite joint at all
        frameLow = frameHigh = Vector3f::Zero();
        motionLow = motionHigh = Vector3f::Zero();
    }
    figureSize = largestFigure > 0 && std::isfinite(largestFigure) ? largestFigure : 1.0f;
    // A motion that travels well beyond the figure is framed on the figure and followed.
    const bool travels = (motionHigh - motionLow).norm() > 2.0f * figureSize;
    const bool framesMotion = wholeMotion && !travels;
    const bool wasFollowing = followingRoot;
    if (wholeMotion)
        followingRoot = travels;
    Vector3f low = framesMotion ? motionLow : frameLow;
    Vector3f high = framesMotion ? motionHigh : frameHigh;
    if (wholeMotion && travels) {
        // The camera will move with the root over the ground but keep its height: the view
        // must hold every height the motion reaches (a step down from a platform, a jump) and
        // the largest figure it shows (arms raised, a body lying down), around the figure as it
        // stands now.
        const Vector3f middle = 0.5f * (frameLow + frameHigh);
        const Vector3f reach(0.5f * figureSize, 0.0f, 0.5f * figureSize);
        low = low.cwiseMin(middle - reach);
        high = high.cwiseMax(middle + reach);
        low.y() = std::min(low.y(), motionLow.y());
        high.y() = std::max(high.y(), motionHigh.y());
    }
    const float aspect = height() > 0 ? float(width()) / float(height()) : 1.0f;
    camera.fit(toQVector(low), toQVector(high), aspect);
    // The depth range must reach the whole grid as well as the figure.
    camera.setClipRange(camera.getDistance() / 100, camera.getDistance() * 100 + 40 * figureSize);
    fittedCamera = camera;
    followedRoot.reset();
    if (followingRoot)
        followedRoot = placedPosition(getRootJoint());

    scene.setMarkerScale(figureSize / referenceFigureSize);
    const Vector3f middle = 0.5f * (motionLow + motionHigh);
    scene.setGridSpacing(SkeletonScene::gridSpacingFor(figureSize / 2), middle.x(), middle.z());
    updateSkeletons();
    if (followingRoot != wasFollowing)
        emit followingRootChanged(followingRoot);
}

void BvhView::followRoot()
{
    if (!followingRoot || !getRootJoint() || !poseEvaluator)
        return;
    const Vector3f root = placedPosition(getRootJoint());
    if (followedRoot && root.allFinite()) {
        const Vector3f moved = root - *followedRoot;
        const QVector3D ground(moved.x(), 0, moved.z()); // the camera keeps its height
        camera.setCenter(camera.getCenter() + ground);
        camera.setEye(camera.getEye() + ground);
    }
    if (root.allFinite())
        followedRoot = root;
}

void BvhView::aimAt(const Vector3f& point)
{
    const QVector3D target = toQVector(point);
    camera.setEye(target + camera.getEye() - camera.getCenter());
    camera.setCenter(target);
    update();
}

void BvhView::centerCameraOnSelectedJoint()
{
    if (const BvhJoint* selected = getHighlightedJoint())
        aimAt(placedPosition(selected));
}

void BvhView::centerCameraOnRoot()
{
    if (getRootJoint())
        aimAt(placedPosition(getRootJoint()));
}

void BvhView::centerCameraOnRootGround()
{
    if (!getRootJoint())
        return;
    const Vector3f root = placedPosition(getRootJoint());
    aimAt(Vector3f(root.x(), 0, root.z()));
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

bool BvhView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Home && key->modifiers() == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QOpenGLWidget::event(event);
}

void BvhView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Home && event->modifiers() == Qt::NoModifier) {
        resetCamera();
        event->accept();
        return;
    }
    QOpenGLWidget::keyPressEvent(event);
}

void BvhView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (rotating)
        rotateCamera(position);
    if (panning)
        panCamera(position);
}

// A drag to the right turns the eye to the left about the centre, a drag down raises it:
// degreesPerPixel for every pixel, whatever the number of move events.
void BvhView::rotateCamera(const QPoint& position)
{
    const QPoint moved = position - lastPos;
    camera.orbit(-degreesPerPixel * float(moved.x()), degreesPerPixel * float(moved.y()));
    lastPos = position;
    update();
}

float BvhView::unitsPerPixel() const
{
    const int shorter = std::max(1, std::min(width(), height()));
    return 2.0f * OrbitCamera::halfViewTangent * camera.getDistance() / float(shorter);
}

// The scene moves with the cursor: a point at the centre's depth stays under it.
void BvhView::panCamera(const QPoint& position)
{
    const QPoint moved = position - lastPos;
    const float scale = unitsPerPixel();
    // One offset for both, so the view direction does not drift.
    const QVector3D offset =
        camera.translation(-scale * float(moved.x()), scale * float(moved.y()), 0);
    camera.setCenter(camera.getCenter() + offset);
    camera.setEye(camera.getEye() + offset);
    lastPos = position;
    update();
}

// Each wheel notch brings the eye 10% closer, or takes it 10% further away, toward the point
// under the cursor at the centre's depth, which stays under the cursor. The distance stays
// between a twentieth of the figure's size and a hundred times it.
void BvhView::wheelEvent(QWheelEvent* event)
{
    const float notches = float(event->angleDelta().y()) / 120.0f;
    if (notches == 0)
        return;
    event->accept();
    const float distance = camera.getDistance();
    const float size = figureSize > 0 ? figureSize : referenceFigureSize;
    const float wanted = std::clamp(distance * std::pow(0.9f, notches), size / 20, size * 100);
    const float factor = wanted / distance;
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    const QPointF offCentre = event->position() - QPointF(width() / 2.0, height() / 2.0);
    const float scale = unitsPerPixel();
    const QVector3D underCursor =
        camera.getCenter() +
        camera.translation(scale * float(offCentre.x()), -scale * float(offCentre.y()), 0);
    const QVector3D center = underCursor + (camera.getCenter() - underCursor) * factor;
    camera.setEye(center + (camera.getEye() - camera.getCenter()) * factor);
    camera.setCenter(center);
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
