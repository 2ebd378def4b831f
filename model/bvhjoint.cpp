#include "bvhjoint.h"

#include "model/rotationmath.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace RotationMath;

BvhJoint::BvhJoint() = default;

BvhJoint::~BvhJoint()
{
    parentJoint = nullptr;
    // Delete the subtree without recursion (a hostile file can nest deeply): in reverse
    // pre-order every joint comes after all of its descendants, so each one is deleted with an
    // already empty child list.
    QList<BvhJoint*> descendants = getAllJoints();
    children.clear();
    for (qsizetype i = descendants.size() - 1; i >= 1; --i) {
        descendants[i]->children.clear();
        delete descendants[i];
    }
}

QString BvhJoint::getChannelName(int index) const
{
    return index >= 0 && index < channels.size() ? channels[index] : QString();
}

BvhJoint::Channel BvhJoint::getChannel(int index) const
{
    return index >= 0 && index < channelKinds.size() ? channelKinds[index] : Channel::None;
}

BvhJoint::Channel BvhJoint::channelFromName(const QString& channelName)
{
    static const QString names[] = {QStringLiteral("Xposition"), QStringLiteral("Yposition"),
                                    QStringLiteral("Zposition"), QStringLiteral("Xrotation"),
                                    QStringLiteral("Yrotation"), QStringLiteral("Zrotation")};
    for (int i = 0; i < 6; ++i) {
        if (channelName == names[i])
            return Channel(i);
    }
    return Channel::None;
}

void BvhJoint::addChannel(const QString& channelName)
{
    channels.append(channelName);
    channelKinds.append(channelFromName(channelName));
}

float* BvhJoint::slot(Channel channel)
{
    switch (channel) {
    case Channel::Xposition:
        return &position.x();
    case Channel::Yposition:
        return &position.y();
    case Channel::Zposition:
        return &position.z();
    case Channel::Xrotation:
        return &rotation.x();
    case Channel::Yrotation:
        return &rotation.y();
    case Channel::Zrotation:
        return &rotation.z();
    case Channel::None:
        break;
    }
    return nullptr;
}

const float* BvhJoint::slot(Channel channel) const
{
    return const_cast<BvhJoint*>(this)->slot(channel);
}

double BvhJoint::getChannelValue(int index) const
{
    const float* value = slot(getChannel(index));
    return value ? *value : 0.0;
}

void BvhJoint::setChannelValue(const QString& channelName, double value)
{
    if (float* target = slot(channelFromName(channelName)))
        *target = float(value);
}

BvhJoint* BvhJoint::getChild(int index) const
{
    return index >= 0 && index < children.size() ? children[index].data() : nullptr;
}

void BvhJoint::addChild(BvhJoint* child)
{
    if (child)
        children.append(child);
}

BvhJoint* BvhJoint::cloneTree() const
{
    // Without recursion, as a hostile file can nest deeply: each pending joint comes with the
    // copy its own copy hangs under.
    auto* top = new BvhJoint;
    QList<std::pair<const BvhJoint*, BvhJoint*>> pending{{this, top}};
    while (!pending.isEmpty()) {
        const auto [joint, copy] = pending.takeLast();
        copy->name = joint->name;
        copy->offset = joint->offset;
        copy->channels = joint->channels;
        copy->channelKinds = joint->channelKinds;
        copy->position = joint->position;
        copy->rotation = joint->rotation;
        for (const BvhJoint* child : joint->children) {
            if (!child)
                continue;
            auto* childCopy = new BvhJoint;
            childCopy->parentJoint = copy;
            copy->children.append(childCopy);
            pending.append({child, childCopy});
        }
    }
    return top;
}

QList<BvhJoint*> BvhJoint::getAllJoints() const
{
    QList<BvhJoint*> result;
    QList<const BvhJoint*> pending{this};
    while (!pending.isEmpty()) {
        const BvhJoint* joint = pending.takeLast();
        result.append(const_cast<BvhJoint*>(joint));
        for (qsizetype i = joint->children.size() - 1; i >= 0; --i) {
            if (const BvhJoint* child = joint->children[i])
                pending.append(child);
        }
    }
    return result;
}

QStringList BvhJoint::getAllJointNames() const
{
    QStringList names;
    for (const BvhJoint* joint : getAllJoints())
        names.append(joint->name);
    return names;
}

BvhJoint* BvhJoint::getJointByName(const QString& jointName) const
{
    for (BvhJoint* joint : getAllJoints()) {
        if (joint->name == jointName)
            return joint;
    }
    return nullptr;
}

void BvhJoint::setFrameValues(std::span<const double> row)
{
    const qsizetype rowLength = qsizetype(row.size());
    qsizetype index = 0;
    QList<BvhJoint*> pending{this};
    while (!pending.isEmpty()) {
        BvhJoint* joint = pending.takeLast();
        for (const Channel channel : std::as_const(joint->channelKinds)) {
            const double value = index < rowLength ? row[index] : 0.0;
            if (float* target = joint->slot(channel))
                *target = float(value);
            ++index;
        }
        for (qsizetype i = joint->children.size() - 1; i >= 0; --i) {
            if (BvhJoint* child = joint->children[i])
                pending.append(child);
        }
    }
}

RotationAxes BvhJoint::getRotationAxes(RotationOrder order) const
{
    if (order == RotationOrder::Fixed)
        return fixedRotationAxes;
    RotationAxes axes{};
    bool used[3] = {false, false, false};
    int count = 0;
    for (const Channel channel : channelKinds) {
        const int axis = int(channel) - int(Channel::Xrotation);
        if (axis >= 0 && axis < 3 && !used[axis]) {
            used[axis] = true;
            axes[size_t(count++)] = axis;
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (!used[axis])
            axes[size_t(count++)] = axis;
    }
    return axes;
}

Matrix3f BvhJoint::eulerToMatrix(double x, double y, double z)
{
    return fromRadians(float(x * degreesToRadians), float(y * degreesToRadians),
                       float(z * degreesToRadians));
}

Matrix3f BvhJoint::eulerToMatrix(const Vector3f& degrees, const RotationAxes& axes)
{
    return fromRadians(Vector3f(float(degrees.x() * degreesToRadians),
                                float(degrees.y() * degreesToRadians),
                                float(degrees.z() * degreesToRadians)),
                       axes);
}

// Wraps an angle in degrees into (-180, 180] as a float. The program's degree factor is built
// on pi = 3.14159, so a half turn of exactly pi radians reads as slightly more than 180.
static float wrapDegrees(double degrees)
{
    if (degrees > 180.0)
        degrees -= 360.0;
    else if (degrees <= -180.0)
        degrees += 360.0;
    const float wrapped = float(degrees);
    return wrapped <= -180.0f ? 180.0f : wrapped;
}

Vector3f BvhJoint::matrixToEuler(const Matrix3f& m)
{
    // For R = Rx(x) Ry(y) Rz(z): M(0,2) = sin y, M(0,0) = cos y cos z, M(0,1) = -cos y sin z,
    // M(1,2) = -sin x cos y, M(2,2) = cos x cos y. atan2 keeps the full range of x and z.
    const double m00 = m(0, 0), m01 = m(0, 1), m02 = m(0, 2);
    const double cosY = std::sqrt(m00 * m00 + m01 * m01);
    const double y = std::atan2(m02, cosY);
    double x = 0.0, z = 0.0;
    if (cosY > 1e-6) {
        x = std::atan2(-double(m(1, 2)), double(m(2, 2)));
        z = std::atan2(-m01, m00);
    } else {
        // Gimbal lock: only x + z (or x - z) is defined; put all of it into x.
        x = std::atan2(double(m(2, 1)), double(m(1, 1)));
    }
    return Vector3f(float(wrapDegrees(x * radiansToDegrees)), float(y * radiansToDegrees),
                    float(wrapDegrees(z * radiansToDegrees)));
}

Vector3f BvhJoint::matrixToEuler(const Matrix3f& matrix, const RotationAxes& axes)
{
    const Eigen::Vector3d radians = toRadians(matrix, axes);
    Vector3f degrees;
    for (int k = 0; k < 3; ++k) {
        const double angle = radians[k] * radiansToDegrees;
        degrees[k] = k == axes[1] ? float(angle) : wrapDegrees(angle);
    }
    return degrees;
}

Vector4f BvhJoint::matrixToQuaternion(const Matrix3f& m)
{
    // Shepperd's method: take the square root of the largest of 4w^2, 4x^2, 4y^2, 4z^2 so the
    // divisor is never small.
    const double m00 = m(0, 0), m11 = m(1, 1), m22 = m(2, 2);
    const double trace = m00 + m11 + m22;
    double x, y, z, w;
    if (trace >= m00 && trace >= m11 && trace >= m22) {
        const double s = 2.0 * std::sqrt(std::max(0.0, 1.0 + trace));
        w = 0.25 * s;
        x = (double(m(2, 1)) - m(1, 2)) / s;
        y = (double(m(0, 2)) - m(2, 0)) / s;
        z = (double(m(1, 0)) - m(0, 1)) / s;
    } else if (m00 >= m11 && m00 >= m22) {
        const double s = 2.0 * std::sqrt(std::max(0.0, 1.0 + m00 - m11 - m22));
        x = 0.25 * s;
        w = (double(m(2, 1)) - m(1, 2)) / s;
        y = (double(m(0, 1)) + m(1, 0)) / s;
        z = (double(m(0, 2)) + m(2, 0)) / s;
    } else if (m11 >= m22) {
        const double s = 2.0 * std::sqrt(std::max(0.0, 1.0 - m00 + m11 - m22));
        y = 0.25 * s;
        w = (double(m(0, 2)) - m(2, 0)) / s;
        x = (double(m(0, 1)) + m(1, 0)) / s;
        z = (double(m(1, 2)) + m(2, 1)) / s;
    } else {
        const double s = 2.0 * std::sqrt(std::max(0.0, 1.0 - m00 - m11 + m22));
        z = 0.25 * s;
        w = (double(m(1, 0)) - m(0, 1)) / s;
        x = (double(m(0, 2)) + m(2, 0)) / s;
        y = (double(m(1, 2)) + m(2, 1)) / s;
    }
    const double length = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(length > 0.0) || !std::isfinite(length))
        return Vector4f(0, 0, 0, 1); // not a rotation at all: no turn is the finite answer
    const double sign = w < 0.0 ? -1.0 : 1.0;
    return Vector4f(float(sign * x / length), float(sign * y / length), float(sign * z / length),
                    float(sign * w / length));
}

Matrix3f BvhJoint::quaternionToMatrix(const Vector4f& q)
{
    const float x = q.x(), y = q.y(), z = q.z(), w = q.w();
    Matrix3f m;
    m(0, 0) = x * x - y * y - z * z + w * w;
    m(1, 1) = y * y - x * x - z * z + w * w;
    m(2, 2) = z * z - (x * x + y * y) + w * w;
    m(0, 1) = 2 * (x * y - w * z);
    m(1, 0) = 2 * (x * y + w * z);
    m(0, 2) = 2 * (x * z + w * y);
    m(2, 0) = 2 * (x * z - w * y);
    m(1, 2) = 2 * (y * z - w * x);
    m(2, 1) = 2 * (y * z + w * x);
    return m;
}

const BvhJoint* BvhJoint::getMovingRoot() const
{
    for (const BvhJoint* joint : getAllJoints()) {
        for (const QString& channel : joint->channels) {
            const Channel slot = channelFromName(channel);
            if (slot == Channel::Xposition || slot == Channel::Yposition ||
                slot == Channel::Zposition)
                return joint;
        }
    }
    return this;
}
