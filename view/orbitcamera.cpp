#include "orbitcamera.h"

#include <algorithm>
#include <cmath>

// q v q*, without normalising q.
static QVector3D turned(const QQuaternion& rotation, const QVector3D& vector)
{
    return (rotation * QQuaternion(0, vector) * rotation.conjugated()).vector();
}

void OrbitCamera::setClipRange(float nearDistance, float farDistance)
{
    if (nearDistance > 0 && farDistance > nearDistance && std::isfinite(farDistance)) {
        nearPlane = nearDistance;
        farPlane = farDistance;
    }
}

void OrbitCamera::rotateCenter(const QQuaternion& rotation)
{
    eye = center + turned(rotation, eye - center);
    const QVector3D turnedUp = turned(rotation, upVector);
    // A zero quaternion would leave no direction; keep the old up vector then.
    if (!turnedUp.isNull())
        upVector = turnedUp.normalized();
}

void OrbitCamera::orbit(float yaw, float pitch)
{
    const QVector3D offset = eye - center;
    const float distance = offset.length();
    if (!(distance > 0))
        return;
    // Spherical angles of the eye about the centre: heading about y, elevation above the
    // horizontal plane.
    const float heading = std::atan2(offset.x(), offset.z()) + qDegreesToRadians(yaw);
    const float limit = qDegreesToRadians(steepestPitch);
    const float elevation = std::clamp(std::asin(std::clamp(offset.y() / distance, -1.0f, 1.0f)) +
                                           qDegreesToRadians(pitch),
                                       -limit, limit);
    eye =
        center + distance * QVector3D(std::cos(elevation) * std::sin(heading), std::sin(elevation),
                                      std::cos(elevation) * std::cos(heading));
    upVector = defaultUpVector;
}

QVector3D OrbitCamera::translation(float x, float y, float z) const
{
    // The image's own axes: the up vector made square to the view, as lookAt does.
    const QVector3D view = (center - eye).normalized();
    const QVector3D side = QVector3D::crossProduct(view, upVector).normalized();
    const QVector3D up = QVector3D::crossProduct(side, view);
    return side * x + up * y + view * z;
}

void OrbitCamera::fit(const QVector3D& boxMin, const QVector3D& boxMax, float aspectRatio,
                      const QVector3D& direction)
{
    // The box's bounding sphere must fit the narrower of the two fields of view; 15% more
    // leaves a margin around it.
    const float radius = std::max(0.5f * (boxMax - boxMin).length(), 1e-3f);
    const float tangent =
        halfViewTangent * (aspectRatio > 0 && aspectRatio < 1 ? aspectRatio : 1.0f);
    const float distance = 1.15f * radius / std::sin(std::atan(tangent));
    center = 0.5f * (boxMin + boxMax);
    eye = center + distance * (direction.isNull() ? defaultEye : direction).normalized();
    upVector = defaultUpVector;
    setClipRange(distance / 100, distance * 100);
}

QMatrix4x4 OrbitCamera::viewMatrix() const
{
    QMatrix4x4 matrix;
    matrix.lookAt(eye, center, upVector);
    return matrix;
}

QMatrix4x4 OrbitCamera::projectionMatrix(float aspectRatio) const
{
    float halfWidth = halfViewTangent * nearPlane;
    float halfHeight = halfWidth;
    if (aspectRatio >= 1)
        halfWidth *= aspectRatio;
    else if (aspectRatio > 0)
        halfHeight /= aspectRatio;
    QMatrix4x4 matrix;
    matrix.frustum(-halfWidth, halfWidth, -halfHeight, halfHeight, nearPlane, farPlane);
    return matrix;
}
