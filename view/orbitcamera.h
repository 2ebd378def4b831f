#pragma once

#include <QMatrix4x4>
#include <QQuaternion>
#include <QVector3D>

// The view's camera: an eye looking at a centre, with an up vector, and a perspective
// projection. Moves are expressed either in world coordinates (setEye, setCenter) or in the
// camera's own axes (translateEye, translateCenter: x to the right, y along the up vector, z
// along the view direction), and rotateCenter turns the eye about the centre.
class OrbitCamera
{
public:
    static constexpr QVector3D defaultEye{0, 100, 800};
    static constexpr QVector3D defaultCenter{0, 0, 0};
    static constexpr QVector3D defaultUpVector{0, 1, 0};
    // The projection shows 2 units across the shorter side of the image at the near plane,
    // about 22.6 degrees.
    static constexpr float nearPlane = 5.0f;
    static constexpr float farPlane = 10000.0f;
    static constexpr float nearViewSize = 2.0f;

    QVector3D getEye() const { return eye; }
    void setEye(const QVector3D& position) { eye = position; }
    QVector3D getCenter() const { return center; }
    void setCenter(const QVector3D& position) { center = position; }
    QVector3D getUpVector() const { return upVector; }
    void setUpVector(const QVector3D& vector) { upVector = vector; }

    // Turns the eye and the up vector about the centre by `rotation` as it stands: the
    // quaternion is not normalised, so one of length s also moves the eye s^2 times as far
    // from the centre. Callers that want a pure turn restore the distance afterwards.
    void rotateCenter(const QQuaternion& rotation);
    void translateEye(float x, float y, float z) { eye += translation(x, y, z); }
    void translateCenter(float x, float y, float z) { center += translation(x, y, z); }
    // The world offset of a move by (x, y, z) in the camera's own axes.
    QVector3D translation(float x, float y, float z) const;

    QMatrix4x4 viewMatrix() const;
    // For an image of the given width / height.
    QMatrix4x4 projectionMatrix(float aspectRatio) const;

private:
    QVector3D eye = defaultEye;
    QVector3D center = defaultCenter;
    QVector3D upVector = defaultUpVector;
};
