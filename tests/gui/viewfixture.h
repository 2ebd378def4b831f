#pragma once

#include "model/bvhfile.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"
#include "view/scenenode.h"

#include <QTest>
#include <QVector3D>

#include <vector>

// Scene positions and the camera are single precision, of order 100 to 1000, and pass through
// 4x4 transforms; 1e-3 is well above their rounding and below any step of the view.
inline bool nearlyEqual(const QVector3D& a, const QVector3D& b, float tolerance = 1e-3f)
{
    return (a - b).length() <= tolerance;
}

inline QVector3D toQVector(const Vector3f& v)
{
    return QVector3D(v.x(), v.y(), v.z());
}

inline int visibleCount(const std::vector<SceneNode>& nodes)
{
    int count = 0;
    for (const SceneNode& node : nodes)
        count += node.isVisible() ? 1 : 0;
    return count;
}

// A figure as the main window hands it to the view: root Hips at (0, 90, 0), with
//   Chest (0, 130, 0) -> Head (0, 160, 0) -> End Site (0, 170, 0),
//   Chest -> LeftArm (40, 130, 0) -> End Site (80, 130, 0),
//   Hips -> LeftLeg (-20, 10, 0) -> End Site (-20, 0, 0)
// in frame 0 (frame 1 moves the root by (30, 0, -20) and bends the chest), and two mass
// segments: the upper arm (centre (20, 130, 0), mass 0) and the trunk (centre (0, 110, 0),
// mass 1), so the body centre is the trunk's centre.
class ViewFixture
{
public:
    bool load(const QByteArray& text = figureMotion())
    {
        motion.clear();
        if (!TestSupport::loadMotion(motion, text))
            return false;
        motion.loadFrame(0);
        physics.setSegments(TestSupport::segmentModel("Chest>LeftArm 0.5 0;Hips>Chest 0.5 1;"));
        physics.setBvhFile(&motion);
        return true;
    }

    static QByteArray figureMotion()
    {
        return "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
               "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
               "JOINT Chest\n{\nOFFSET 0 40 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
               "JOINT Head\n{\nOFFSET 0 30 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
               "End Site\n{\nOFFSET 0 10 0\n}\n}\n"
               "JOINT LeftArm\n{\nOFFSET 40 0 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
               "End Site\n{\nOFFSET 40 0 0\n}\n}\n}\n"
               "JOINT LeftLeg\n{\nOFFSET -20 -80 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
               "End Site\n{\nOFFSET 0 -10 0\n}\n}\n}\n"
               "MOTION\nFrames: 2\nFrame Time: 0.04\n"
               "0 90 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
               "30 90 -20 0 0 0 20 10 0 0 0 0 0 0 0 0 0 0\n";
    }

    BvhJoint* joint(const char* name) const
    {
        return motion.root->getJointByName(QString::fromLatin1(name));
    }

    // Where the joint is in the frame its tree holds now.
    QVector3D position(const char* name) const
    {
        return toQVector(PoseEvaluator::positionOf(*joint(name)));
    }

    // The centre of a mass segment at proximal distance 0.5, from the joints' own positions.
    QVector3D midpoint(const char* start, const char* end) const
    {
        return (position(start) + position(end)) / 2;
    }

    BvhFile motion;
    BvhMathObject physics;
};
