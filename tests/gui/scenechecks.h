#pragma once

#include "model/vectortypes.h"
#include "view/scenenode.h"

#include <QVector3D>

#include <vector>

// Checks the view's placement tests share.

// Positions in the scene and the camera are single precision, of order 100 to 1000, and pass
// through 4x4 transforms; 1e-3 is well above their rounding and below any step of the view.
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
