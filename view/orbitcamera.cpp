#include "orbitcamera.h"

// q v q*, without normalising q.
static QVector3D turned(const QQuaternion& rotation, const QVector3D& vector)
{
    return (rotation * QQuaternion(0, vector) * rotation.conjugated()).vector();
}

void OrbitCamera::rotateCenter(const QQuaternion& rotation)
{
    eye = center + turned(rotation, eye - center);
    const QVector3D turnedUp = turned(rotation, upVector);
    // A zero quaternion would leave no direction; keep the old up vector then.
    if (!turnedUp.isNull())
        upVector = turnedUp.normalized();
}

QVector3D OrbitCamera::translation(float x, float y, float z) const
{
    const QVector3D view = (center - eye).normalized();
    const QVector3D up = upVector.normalized();
    const QVector3D side = QVector3D::crossProduct(view, up).normalized();
    return side * x + up * y + view * z;
}

QMatrix4x4 OrbitCamera::viewMatrix() const
{
    QMatrix4x4 matrix;
    matrix.lookAt(eye, center, upVector);
    return matrix;
}

QMatrix4x4 OrbitCamera::projectionMatrix(float aspectRatio) const
{
    float halfWidth = nearViewSize / 2;
    float halfHeight = nearViewSize / 2;
    if (aspectRatio >= 1)
        halfWidth *= aspectRatio;
    else if (aspectRatio > 0)
        halfHeight /= aspectRatio;
    QMatrix4x4 matrix;
    matrix.frustum(-halfWidth, halfWidth, -halfHeight, halfHeight, nearPlane, farPlane);
    return matrix;
}
