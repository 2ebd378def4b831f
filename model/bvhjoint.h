#pragma once

#include "model/rotationorder.h"
#include "model/vectortypes.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <span>

// One joint of a motion's skeleton, End Sites included (named "End Site", no channels, no
// children). A joint holds the channel values of one frame only, the motion's current frame;
// BvhFile moves rows of its frame table into the joints. A joint owns its children: deleting
// a joint deletes its whole subtree.
class BvhJoint : public QObject
{
    Q_OBJECT

public:
    // The value slot a channel name addresses. Every joint keeps one slot per kind, whatever
    // its channel list says; names other than the six address no slot.
    enum class Channel : quint8
    {
        Xposition,
        Yposition,
        Zposition,
        Xrotation,
        Yrotation,
        Zrotation,
        None
    };

    BvhJoint();
    ~BvhJoint() override;

    QString getName() const { return name; }
    void setName(const QString& newName) { name = newName; }
    // The offset as poses use it, in single precision.
    Vector3f getOffset() const { return offset.cast<float>(); }
    // The offset as read or typed, which the writer saves.
    const Eigen::Vector3d& getExactOffset() const { return offset; }
    void setOffset(double x, double y, double z) { offset = Eigen::Vector3d(x, y, z); }
    Vector3f getPosition() const { return position; }
    void setPosition(const Vector3f& newPosition) { position = newPosition; }
    // Degrees, (Xrotation, Yrotation, Zrotation) whatever the channel order.
    Vector3f getRotation() const { return rotation; }
    void setRotation(const Vector3f& newRotation) { rotation = newRotation; }

    int getNumChannels() const { return int(channels.size()); }
    // Empty when the index is outside the channel list.
    QString getChannelName(int index) const;
    Channel getChannel(int index) const;
    bool hasChannel(const QString& channelName) const { return channels.contains(channelName); }
    void addChannel(const QString& channelName);
    // Current value of the index-th channel; 0.0 for a channel with no slot.
    double getChannelValue(int index) const;
    // Stores the value, rounded to float, in the slot the name addresses; other names are
    // ignored.
    void setChannelValue(const QString& channelName, double value);
    static Channel channelFromName(const QString& channelName);

    int getNumChildren() const { return int(children.size()); }
    // Null when the index is out of range.
    BvhJoint* getChild(int index) const;
    // Takes ownership of the child.
    void addChild(BvhJoint* child);
    BvhJoint* getParentJoint() const { return parentJoint; }
    void setParentJoint(BvhJoint* parent) { parentJoint = parent; }

    // This joint and all its descendants in pre-order (DOF order).
    QList<BvhJoint*> getAllJoints() const;
    // The first joint of getAllJoints() with a position channel: the top of the body that
    // moves, below any reference joint whose place the channels make meaningless. This joint
    // when none has one.
    const BvhJoint* getMovingRoot() const;
    // A new tree of the same shape under a new root (owned by the caller): every joint with
    // this one's name, offset, channels and held values.
    BvhJoint* cloneTree() const;
    QStringList getAllJointNames() const;
    // First joint of getAllJoints() with exactly this name; null if none.
    BvhJoint* getJointByName(const QString& jointName) const;

    // Distributes one frame row over the channels of this joint's subtree in DOF order;
    // channels beyond the row's end get 0.0.
    void setFrameValues(std::span<const double> row);

    // The axes of this joint's rotation product left to right under `order`: x, y, z under
    // Fixed; under Declared the rotation channels in CHANNELS order, then any axis they leave
    // out (in x, y, z order, so a value set by hand on a joint without that channel still
    // counts).
    RotationAxes getRotationAxes(RotationOrder order) const;

    // Conversions used by the rotation interpolation. Angles in degrees.
    static Matrix3f eulerToMatrix(double x, double y, double z);
    // The same for a product about `axes` in that order (angles in the x, y, z slots), and its
    // inverse: the middle angle in [-90, 90], the outer two in (-180, 180], the last one 0 in
    // gimbal lock. For x, y, z they are eulerToMatrix and matrixToEuler.
    static Matrix3f eulerToMatrix(const Vector3f& degrees, const RotationAxes& axes);
    static Vector3f matrixToEuler(const Matrix3f& matrix, const RotationAxes& axes);
    // The inverse of eulerToMatrix: x and z in (-180, 180], y in [-90, 90]; at y = +-90 the
    // rotation is expressed with z = 0.
    static Vector3f matrixToEuler(const Matrix3f& matrix);
    // Unit quaternion (x, y, z, w) with w >= 0 for any rotation matrix.
    static Vector4f matrixToQuaternion(const Matrix3f& matrix);
    // The rotation matrix of (x, y, z, w), not normalised first: a quaternion of length s
    // gives the rotation scaled by s squared.
    static Matrix3f quaternionToMatrix(const Vector4f& quaternion);

private:
    float* slot(Channel channel);
    const float* slot(Channel channel) const;

    QString name;
    Eigen::Vector3d offset = Eigen::Vector3d::Zero();
    QStringList channels;
    QList<Channel> channelKinds; // parallel to channels, so frame loads compare no strings
    QList<QPointer<BvhJoint>> children;
    QPointer<BvhJoint> parentJoint;
    Vector3f position = Vector3f::Zero();
    Vector3f rotation = Vector3f::Zero();
};
