#pragma once

#include "model/bvhjoint.h"
#include "model/vectortypes.h"
#include "physics/bvhmathobject.h"
#include "view/orbitcamera.h"
#include "view/scenerenderer.h"
#include "view/skeletonscene.h"

#include <QList>
#include <QOpenGLWidget>
#include <QPoint>
#include <QPointer>

#include <memory>
#include <vector>

class PoseEvaluator;

// The main window's 3D view of the current frame: a sphere on every joint, a bone from every
// joint to its parent, red markers on the mass segments' centres of mass, a magenta marker on
// the whole body's, all over a ground grid on y = 0. The joint chosen in the hierarchy tree is
// drawn yellow and twice as large. Left drag turns the camera about its centre, right drag
// pans, the wheel zooms and a double click resets the camera. The view has no picking.
//
// Placement (updateSkeletons) works on the scene alone and needs no GL context, so the view
// can be updated before it is first shown; the first paint shows the latest state.
class BvhView : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit BvhView(QWidget* parent = nullptr);
    ~BvhView() override;

    // Takes the physics object, and through it the open motion's root joint, and updates the
    // view. Null shows no skeleton.
    void setMathObject(BvhMathObject* math);

    const OrbitCamera& getCamera() const { return camera; }
    const SkeletonScene& getScene() const { return scene; }
    BvhJoint* getHighlightedJoint() const { return highlightedJoint; }
    BvhJoint* getRootJoint() const { return rootJoint; }
    // The segment centres of the last update that displayed a marker.
    const std::vector<Vector3f>& getSegmentCentres() const { return segmentCentres; }
    bool isRotating() const { return rotating; }
    bool isPanning() const { return panning; }
    static QColor getBackgroundColour() { return QColor(30, 32, 38); }

public slots:
    void setHighlightedJoint(BvhJoint* jointPtr);
    // Places the skeleton and markers for the motion's current frame and schedules a paint.
    void updateSkeletons();
    void resetCamera();
    void centerCameraOnSelectedJoint();
    void centerCameraOnRoot();
    void centerCameraOnRootGround();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void initializeGL() override;
    void paintGL() override;

public:
    // Written by the main window, which then calls updateSkeletons().
    bool segmentMassDisplayed = true;
    bool bodyMassDisplayed = true;

private:
    void rotateCamera(const QPoint& position);
    void panCamera(const QPoint& position);
    void refreshPoseEvaluator();
    // Position of `joint` in the frame last placed; the origin for a joint not shown.
    Vector3f placedPosition(const BvhJoint* joint) const;
    void releaseGL();

    QPoint lastPos;
    bool rotating = false;
    bool panning = false;
    double rotateStep = 0.015;
    double panStep = 0.01;
    QPointer<BvhJoint> highlightedJoint;
    double jointDiameter = 2.0;
    double boneDiameter = 2.5;
    int poolSize = 78; // initial size; the scene grows its pools for larger skeletons
    std::vector<Vector3f> segmentCentres;
    QPointer<BvhJoint> rootJoint;
    QPointer<BvhMathObject> mathObject;

    SkeletonScene scene;
    OrbitCamera camera;
    SceneRenderer renderer;
    // Joint positions of the current frame, with each joint's parent index, for the tree
    // under evaluatedRoot; rebuilt when the root changes.
    std::unique_ptr<PoseEvaluator> poseEvaluator;
    QPointer<BvhJoint> evaluatedRoot;
    std::vector<int> parentIndices;
};
