#pragma once

#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

// A motion and a physics object as the main window hands them to the view: a figure standing
// at the origin, its root Hips at (0, 90, 0), with
//   Chest (0, 130, 0) -> Head (0, 160, 0) -> End Site (0, 170, 0),
//   Chest -> LeftArm (40, 130, 0) -> End Site (80, 130, 0),
//   Hips -> LeftLeg (-20, 10, 0) -> End Site (-20, 0, 0)
// in frame 0 (frame 1 moves the root by (30, 0, -20) and bends the chest), and two mass
// segments: the upper arm (centre halfway along Chest -> LeftArm, mass 0) and the trunk
// (centre halfway along Hips -> Chest, mass 1), so the body centre is the trunk's centre.
class ViewFixture
{
public:
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

    // Loads `text` and binds the two segments; false when the motion does not load.
    bool load(const QByteArray& text = figureMotion())
    {
        if (!motion.readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"), text)).ok())
            return false;
        motion.setCurrentFrame(0);
        physics.startJointNames = {QStringLiteral("Chest"), QStringLiteral("Hips")};
        physics.endJointNames = {QStringLiteral("LeftArm"), QStringLiteral("Chest")};
        physics.proximalDistances = {0.5, 0.5};
        physics.masses = {0.0, 1.0};
        physics.setBvhFile(&motion);
        return true;
    }

    BvhJoint* joint(const char* name) const
    {
        return motion.root->getJointByName(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    BvhFile motion;
    BvhMathObject physics;
};
