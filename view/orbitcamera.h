#pragma once

#include <QMatrix4x4>
#include <QQuaternion>
#include <QVector3D>

// The view's camera: an eye looking at a centre, with an up vector, and a perspective
// projection. Moves are expressed either in world coordinates (setEye, setCenter) or in the
// camera's own axes (translateEye, translateCenter: x to the right, y along the up vector, z
// along the view direction); orbit turns the eye about the centre like a turntable, and fit
// frames a box.
class OrbitCamera
{
public:
    static constexpr QVector3D defaultEye{0, 100, 800};
    static constexpr QVector3D defaultCenter{0, 0, 0};
    static constexpr QVector3D defaultUpVector{0, 1, 0};
    // Half the shorter side of the image over the distance it is seen at: a field of view of
    // about 22.6 degrees across the shorter side.
    static constexpr float halfViewTangent = 0.2f;
    // How far from the vertical an orbit may tilt the view, in degrees: never over the top.
    static constexpr float steepestPitch = 85.0f;

    QVector3D getEye() const { return eye; }
    void setEye(const QVector3D& position) { eye = position; }
    QVector3D getCenter() const { return center; }
    void setCenter(const QVector3D& position) { center = position; }
    QVector3D getUpVector() const { return upVector; }
    void setUpVector(const QVector3D& vector) { upVector = vector; }
    float getDistance() const { return (eye - center).length(); }

    // The depth range drawn; the defaults suit a skeleton of a few metres in centimetres.
    float getNearPlane() const { return nearPlane; }
    float getFarPlane() const { return farPlane; }
    void setClipRange(float nearDistance, float farDistance);

    // Turns the eye and the up vector about the centre by `rotation` as it stands: the
    // quaternion is not normalised, so one of length s also moves the eye s^2 times as far
    // from the centre. Callers that want a pure turn restore the distance afterwards.
    void rotateCenter(const QQuaternion& rotation);
    // Turns the eye about the centre by `yaw` degrees about the world's vertical and `pitch`
    // degrees up or down, keeping its distance and the vertical up; the view never tilts
    // past steepestPitch from the horizontal.
    void orbit(float yaw, float pitch);
    void translateEye(float x, float y, float z) { eye += translation(x, y, z); }
    void translateCenter(float x, float y, float z) { center += translation(x, y, z); }
    // The world offset of a move by (x, y, z) in the image's axes: x to the right, y up the
    // image (the up vector made square to the view), z along the view.
    QVector3D translation(float x, float y, float z) const;

    // Looks at the middle of the box from `direction` (the eye's side), from the distance at
    // which the whole box, with a margin, fits an image of the given width / height; the
    // depth range follows the distance.
    void fit(const QVector3D& boxMin, const QVector3D& boxMax, float aspectRatio,
             const QVector3D& direction = defaultEye - defaultCenter);

    QMatrix4x4 viewMatrix() const;
    // For an image of the given width / height.
    QMatrix4x4 projectionMatrix(float aspectRatio) const;

private:
    QVector3D eye = defaultEye;
    QVector3D center = defaultCenter;
    QVector3D upVector = defaultUpVector;
    float nearPlane = 5.0f;
    float farPlane = 10000.0f;
};
