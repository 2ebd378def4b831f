#include "rotationmath.h"

#include <cmath>

namespace RotationMath {

// Cosines and sines are taken in double precision and rounded to float once, which gives the
// correctly rounded float on every platform.
static float cosine(float radians)
{
    return float(std::cos(double(radians)));
}
static float sine(float radians)
{
    return float(std::sin(double(radians)));
}

Matrix3f rotationX(float radians)
{
    const float c = cosine(radians), s = sine(radians);
    Matrix3f m;
    m << 1, 0, 0, //
        0, c, -s, //
        0, s, c;
    return m;
}

Matrix3f rotationY(float radians)
{
    const float c = cosine(radians), s = sine(radians);
    Matrix3f m;
    m << c, 0, s, //
        0, 1, 0,  //
        -s, 0, c;
    return m;
}

Matrix3f rotationZ(float radians)
{
    const float c = cosine(radians), s = sine(radians);
    Matrix3f m;
    m << c, -s, 0, //
        s, c, 0,   //
        0, 0, 1;
    return m;
}

Matrix3f fromRadians(float x, float y, float z)
{
    return multiply(multiply(rotationX(x), rotationY(y)), rotationZ(z));
}

static float jointRadians(float degrees)
{
    const float scaled = degrees * piApproximation;
    return scaled * (1.0f / 180.0f);
}

Matrix3f fromJointDegrees(const Vector3f& degrees)
{
    return fromRadians(jointRadians(degrees.x()), jointRadians(degrees.y()),
                       jointRadians(degrees.z()));
}

} // namespace RotationMath
