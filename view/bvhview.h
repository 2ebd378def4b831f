#pragma once

#include "document/motiondocument.h"
#include "model/bvhjoint.h"
#include "model/vectortypes.h"
#include "physics/centreofmass.h"
#include "view/orbitcamera.h"
#include "view/scenerenderer.h"
#include "view/skeletonscene.h"

#include <QList>
#include <QOpenGLWidget>
#include <QPoint>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class PoseEvaluator;

// The main window's 3D view of the open motion's current frame: a sphere on every joint, a bone
// from every joint to its parent, red markers on the mass segments' centres of mass, a magenta
// marker on the whole body's, all over a ground grid on y = 0. The joint chosen in the hierarchy
// tree is drawn yellow and twice as large. Markers, grid and depth range scale with the skeleton,
// so any size or unit looks alike.
//
// fitSkeleton frames the skeleton (done on every new motion). Left drag orbits the centre
// (degreesPerPixel), right drag pans so that the point under the cursor stays under it, the
// wheel zooms toward the cursor; a double click or Home goes back to the fitted view. The
// view has no picking.
//
// The view shows a MotionDocument and follows its signals: another frame, an edit or another
// model redraws, another motion or setup turns the view upright for it and frames it anew.
// Placement (updateSkeletons) works on the scene alone and needs no GL context, so the view
// can be updated before it is first shown; the first paint shows the latest state.
class BvhView : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit BvhView(QWidget* parent = nullptr);
    ~BvhView() override;

    // Why no view can be drawn here (a platform without OpenGL, or no context to be had);
    // empty when one can. Asked before a view is made: making one there fails.
    static QString missingOpenGl();

    // The document shown from now on (null: none), framed at once.
    void setDocument(MotionDocument* shown);

    const OrbitCamera& getCamera() const { return camera; }
    const SkeletonScene& getScene() const { return scene; }
    // The joint drawn larger: the document's selected one; null for none.
    BvhJoint* getHighlightedJoint() const;
    const BvhJoint* getRootJoint() const;
    // The segment centres of the last update that displayed a marker.
    const std::vector<Vector3f>& getSegmentCentres() const { return segmentCentres; }
    bool isFollowingRoot() const { return followingRoot; }
    // The size of the figure the last fit measured: the longest diagonal of the joints' box
    // in one frame.
    float getFigureSize() const { return figureSize; }
    bool isRotating() const { return rotating; }
    bool isPanning() const { return panning; }
    // The world axis shown up (see setUpAxis).
    Vector3f getUpAxis() const { return toShown.transpose() * Vector3f::UnitY(); }
    const MotionDocument* getDocument() const { return document; }
    static QColor getBackgroundColour() { return QColor(30, 32, 38); }

signals:
    // Following the root was switched on or off (by a fit, or by setFollowingRoot).
    void followingRootChanged(bool following);

public slots:
    // Places the skeleton and markers for the document's current frame and schedules a paint.
    void updateSkeletons();
    // Back to the view of the last fit (the default view before any).
    void resetCamera();
    // Frames the skeleton over the whole motion; a motion that travels much further than the
    // figure's size is framed around the current frame instead, with room for every height the
    // motion reaches and for its largest figure, and followed.
    void fitSkeleton();
    // Frames the skeleton of the current frame.
    void fitCurrentFrame();
    // While on, every frame shown moves the camera along with the root over the ground.
    void setFollowingRoot(bool follow);
    // The world axis the motion's figure stands along (+y unless set): the view turns the
    // motion so that this axis points up from its ground grid. One of the six axis directions;
    // anything else counts as +y.
    void setUpAxis(const Vector3f& up);
    // Draws `overlay` (in the motion's coordinates) on the floor from now on; an empty one
    // clears it.
    void setFloorOverlay(const FloorOverlay& overlay);
    void centerCameraOnSelectedJoint();
    void centerCameraOnRoot();
    void centerCameraOnRootGround();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Home belongs to the view while it has the focus, before any window-wide key.
    bool event(QEvent* event) override;
    void initializeGL() override;
    void paintGL() override;

public:
    // Orbit per pixel dragged, in degrees.
    static constexpr float degreesPerPixel = 0.4f;
    // The figure size at which markers are drawn at their own size (a person in centimetres).
    static constexpr float referenceFigureSize = 180.0f;

    // Written by the main window, which then calls updateSkeletons().
    bool segmentMassDisplayed = true;
    bool bodyMassDisplayed = true;

private:
    // The motion shown, or null.
    const BvhFile* shownMotion() const;
    // Turns the view upright for the document's motion and setup and frames it.
    void frameNewSetup();
    void rotateCamera(const QPoint& position);
    void panCamera(const QPoint& position);
    // World units one pixel spans at the centre's distance.
    float unitsPerPixel() const;
    // Frames the box of the current frame's joints (wholeMotion false) or of every sampled
    // frame's, and sizes markers and grid for the figure.
    void fit(bool wholeMotion);
    // Moves the camera with the root since the last frame shown, while following it.
    void followRoot();
    // The evaluator of the document's skeleton under its convention, made anew after any
    // change of either (an edited offset, another setup).
    void refreshPoseEvaluator();
    // Places floorOverlay in the scene as shown.
    void placeFloorOverlay();
    // Position of `joint` in the frame last placed, as shown; the origin for a joint not shown.
    Vector3f placedPosition(const BvhJoint* joint) const;
    // Aims the camera at a point (as shown) from where it looks now, at the distance it looks
    // from.
    void aimAt(const Vector3f& point);
    // A position of the motion as the view shows it (turned so that its up axis is y).
    Vector3f shown(const Vector3f& position) const { return toShown * position; }
    void releaseGL();

    QPoint lastPos;
    bool rotating = false;
    bool panning = false;
    bool followingRoot = false;
    std::optional<Vector3f> followedRoot; // where the root was when last followed
    float figureSize = 0;
    OrbitCamera fittedCamera; // what resetCamera goes back to
    Matrix3f toShown = Matrix3f::Identity();
    std::vector<Vector3f> shownPositions; // the current frame's joints, as shown
    double jointDiameter = 2.0;
    double boneDiameter = 2.5;
    int poolSize = 78; // initial size; the scene grows its pools for larger skeletons
    std::vector<Vector3f> segmentCentres;
    CentresOfMass centres;
    FloorOverlay floorOverlay;
    QPointer<MotionDocument> document;

    SkeletonScene scene;
    OrbitCamera camera;
    SceneRenderer renderer;
    // Joint positions of the current frame, with each joint's parent index; null until made
    // for the document's skeleton and convention.
    std::unique_ptr<PoseEvaluator> poseEvaluator;
    std::vector<int> parentIndices;
};
