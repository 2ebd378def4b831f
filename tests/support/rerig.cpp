#include "support/rerig.h"

#include "model/bvhjoint.h"
#include "support/testsupport.h"

#include <Eigen/Geometry>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace TestSupport::Rerig {
namespace {

using Eigen::AngleAxisd;
using Eigen::Matrix3d;
using Eigen::Vector3d;

// Every joint's turn and place in the world, and its translation in its parent's frame.
struct Pose
{
    std::vector<Matrix3d> turn;
    std::vector<Vector3d> place;
    std::vector<Vector3d> local;
};

Pose posed(const QList<BvhJoint*>& joints, const std::vector<int>& parents,
           std::span<const double> row, const PoseConvention& convention)
{
    const size_t n = size_t(joints.size());
    Pose pose{std::vector<Matrix3d>(n), std::vector<Vector3d>(n), std::vector<Vector3d>(n)};
    const double pi = double(convention.pi);
    const bool replace = convention.positionChannels == PositionChannels::ReplaceOffset;
    qsizetype column = 0;
    for (size_t i = 0; i < n; ++i) {
        const BvhJoint* joint = joints[qsizetype(i)];
        Vector3d local = joint->getExactOffset();
        Vector3d angles = Vector3d::Zero();
        Matrix3d own = Matrix3d::Identity();
        for (int k = 0; k < joint->getNumChannels(); ++k, ++column) {
            const double value = size_t(column) < row.size() ? row[size_t(column)] : 0.0;
            const BvhJoint::Channel channel = joint->getChannel(k);
            if (channel <= BvhJoint::Channel::Zposition) {
                const int axis = int(channel) - int(BvhJoint::Channel::Xposition);
                local[axis] = replace ? value : local[axis] + value;
            } else if (channel <= BvhJoint::Channel::Zrotation) {
                const int axis = int(channel) - int(BvhJoint::Channel::Xrotation);
                const double radians = value * pi / 180.0;
                if (convention.rotationOrder == RotationOrder::Fixed)
                    angles[axis] = radians;
                else
                    own = own * AngleAxisd(radians, Vector3d::Unit(axis)).toRotationMatrix();
            }
        }
        if (convention.rotationOrder == RotationOrder::Fixed)
            own = (AngleAxisd(angles.x(), Vector3d::UnitX()) *
                   AngleAxisd(angles.y(), Vector3d::UnitY()) *
                   AngleAxisd(angles.z(), Vector3d::UnitZ()))
                      .toRotationMatrix();
        const int p = parents[i];
        pose.local[i] = local;
        pose.turn[i] = p < 0 ? own : Matrix3d(pose.turn[size_t(p)] * own);
        pose.place[i] =
            p < 0 ? local : Vector3d(pose.place[size_t(p)] + pose.turn[size_t(p)] * local);
    }
    return pose;
}

std::vector<int> parentsOf(const QList<BvhJoint*>& joints)
{
    std::vector<int> parents(size_t(joints.size()), -1);
    for (qsizetype i = 0; i < joints.size(); ++i)
        parents[size_t(i)] = int(joints.indexOf(joints[i]->getParentJoint()));
    return parents;
}

// The shortest turn taking the X axis onto `to`.
Matrix3d turnFromX(const Vector3d& to)
{
    return Eigen::Quaterniond::FromTwoVectors(Vector3d::UnitX(), to).toRotationMatrix();
}

// One joint of the copy.
struct Node
{
    enum Kind
    {
        Original,  // a joint of the recording
        Reference, // the floor reference above the root
        Twist,     // halfway along the bone from `a` to `b`, turning about it
        Side       // a share bone, a toe, a finger, a jaw or its End Site: at `shape` in the frame
                   // its parent has in the recording
    };
    Kind kind = Original;
    QString name;
    int parent = -1;
    int source = -1; // the recording's joint, for Original (End Sites too)
    int a = -1, b = -1;
    Vector3d shape = Vector3d::Zero();    // for Side
    Matrix3d rest = Matrix3d::Identity(); // the world turn is the recording's times this
    bool positions = false;
    bool isEndSite = false;
    std::vector<int> children;
    Vector3d offset = Vector3d::Zero();
};

class Rigger
{
public:
    Rigger(const Source& source, const Rig& rig, const PoseConvention& convention)
        : source(source), rig(rig), convention(convention),
          joints(source.motion->root->getAllJoints()), parents(parentsOf(joints))
    {
        for (qsizetype row = 0; row < source.motion->frames.rowCount(); ++row)
            poses.push_back(posed(joints, parents, source.motion->frames[row], source.convention));
        moveWorld();
        measureFloor();
        if (rig.reference != Rig::Reference::None) {
            Node reference;
            reference.kind = Node::Reference;
            reference.name = QStringLiteral("Reference");
            reference.positions = true;
            nodes.push_back(reference);
        }
        addJoint(0, rig.reference != Rig::Reference::None ? 0 : -1);
        chooseRests();
    }

    Rigged write();

private:
    int addNode(Node node)
    {
        const int index = int(nodes.size());
        if (node.parent >= 0)
            nodes[size_t(node.parent)].children.push_back(index);
        nodes.push_back(std::move(node));
        return index;
    }
    int addJoint(int joint, int parent);
    // A short bone at `shape` in its parent's frame, turned a little, its End Site at `end`.
    void addSideBone(int parent, const QString& name, const Vector3d& shape, const Vector3d& end)
    {
        Node bone, tip;
        bone.kind = tip.kind = Node::Side;
        bone.name = name;
        bone.parent = parent;
        bone.shape = shape;
        bone.positions = rig.sixChannels;
        tip.name = QStringLiteral("End Site");
        tip.isEndSite = true;
        tip.shape = end;
        tip.parent = addNode(bone);
        addNode(tip);
    }
    void moveWorld();
    void measureFloor();
    void chooseRests();
    // World turn and place of every node in frame `f`.
    void place(size_t f, std::vector<Matrix3d>& turn, std::vector<Vector3d>& at) const;
    Vector3d mainChildTranslation(int joint) const;
    double heading(size_t f) const;
    bool hasPositions(int joint) const
    {
        const BvhJoint* j = joints[joint];
        return j->getNumChannels() > 0 && j->getChannel(0) <= BvhJoint::Channel::Zposition;
    }

    const Source& source;
    const Rig& rig;
    PoseConvention convention;
    QList<BvhJoint*> joints;
    std::vector<int> parents;
    std::vector<Pose> poses;
    std::vector<Node> nodes;
    double floor = 0.0;
    double rootHeight = 0.0;
    double size = 1.0;
};

int Rigger::addJoint(int joint, int parent)
{
    const BvhJoint* j = joints[joint];
    Node node;
    node.source = joint;
    node.parent = parent;
    node.name = j->getName();
    node.isEndSite = j->getName() == QLatin1String("End Site") && j->getNumChannels() == 0 &&
                     j->getNumChildren() == 0;
    node.positions = !node.isEndSite && (rig.sixChannels || joint == 0 || hasPositions(joint));
    if (joint == 0 && rig.reference == Rig::Reference::WithoutPelvisPositions)
        node.positions = rig.sixChannels;
    const int self = addNode(node);
    std::vector<int> shares; // the ends of the bones a share bone goes beside
    for (qsizetype i = 0; i < joints.size(); ++i) {
        if (parents[size_t(i)] != joint)
            continue;
        const bool limb =
            rig.extraBones && source.limbBones.contains(int(i)) && joints[i]->getNumChildren() > 0;
        if (!limb) {
            addJoint(int(i), self);
            continue;
        }
        Node twist;
        twist.kind = Node::Twist;
        twist.name = joints[i]->getName() + QStringLiteral("Twist");
        twist.parent = self;
        twist.a = joint;
        twist.b = int(i);
        // Halfway along a bone whose end moves along it, the twist moves too.
        twist.positions = rig.sixChannels || hasPositions(int(i));
        addJoint(int(i), addNode(twist));
        shares.push_back(int(i));
    }
    for (const int end : shares) {
        // A third of the way down the bone and a little to its side.
        const Vector3d bone = poses.front().local[size_t(end)];
        addSideBone(self, joints[end]->getName() + QStringLiteral("Share"),
                    bone / 3 + 0.15 * bone.norm() * bone.unitOrthogonal(), 0.1 * bone);
    }
    // Toes and fingers fanned out along the foot or hand.
    const Vector3d along = mainChildTranslation(joint);
    const Vector3d across = 0.2 * along.norm() * along.unitOrthogonal();
    for (int digit = 0; rig.extraBones && along.norm() > 0 && digit < 5; ++digit) {
        const bool toe = source.feet.contains(joint);
        if (toe || source.hands.contains(joint))
            addSideBone(
                self, j->getName() + QString::fromLatin1(toe ? "Toe%1" : "Finger%1").arg(digit + 1),
                (toe ? 0.3 : 0.6) * along + (digit - 2) * across, 0.3 * along);
    }
    if (rig.extraBones && joint == source.head && along.norm() > 0) {
        // A jaw hanging from the head: down, as the head is held in the middle frame.
        const Vector3d down = poses[poses.size() / 2].turn[size_t(joint)].transpose() *
                              (-0.3 * along.norm() * source.up);
        addSideBone(self, j->getName() + QStringLiteral("Jaw"), down + across, down);
    }
    return self;
}

void Rigger::moveWorld()
{
    if (rig.tiltDegrees == 0 && rig.rise == 0)
        return;
    const Vector3d& up = source.up;
    const auto horizontal = [&](const Vector3d& v) { return Vector3d(v - v.dot(up) * up); };
    const Vector3d start = poses.front().place[0];
    Vector3d along = horizontal(poses.back().place[0] - start);
    along = along.norm() > 0 ? along.normalized() : up.unitOrthogonal();
    const Vector3d axis = rig.tiltSideways ? along : Vector3d(up.cross(along));
    const Matrix3d tilt =
        AngleAxisd(rig.tiltDegrees * std::numbers::pi / 180.0, axis).toRotationMatrix();
    std::vector<double> way(poses.size(), 0.0);
    for (size_t f = 1; f < poses.size(); ++f)
        way[f] = way[f - 1] + horizontal(poses[f].place[0] - poses[f - 1].place[0]).norm();
    for (size_t f = 0; f < poses.size(); ++f) {
        const double raised = way.back() > 0 ? rig.rise * way[f] / way.back() : 0.0;
        Pose& pose = poses[f];
        for (size_t j = 0; j < pose.place.size(); ++j) {
            pose.place[j] = start + tilt * (pose.place[j] - start) + raised * up;
            pose.turn[j] = tilt * pose.turn[j];
        }
        pose.local[0] = pose.place[0];
    }
}

void Rigger::measureFloor()
{
    const Vector3d& up = source.up;
    floor = std::numeric_limits<double>::infinity();
    for (const Pose& pose : poses) {
        for (const Vector3d& p : pose.place)
            floor = std::min(floor, p.dot(up));
    }
    rootHeight = 0.0;
    for (const Pose& pose : poses)
        rootHeight += (pose.place[0].dot(up) - floor) / double(poses.size());
    size = 0.0;
    for (const Vector3d& p : poses.front().place)
        size = std::max(size, (p - poses.front().place[0]).norm());
    size = std::max(size, 1e-9);
}

Vector3d Rigger::mainChildTranslation(int joint) const
{
    // The child with the most joints below it, the first of equals.
    int best = -1, bestCount = -1;
    for (qsizetype i = 0; i < joints.size(); ++i) {
        if (parents[size_t(i)] != joint || !(poses.front().local[size_t(i)].norm() > 1e-9 * size))
            continue;
        const int count = int(joints[i]->getAllJoints().size());
        if (count > bestCount) {
            best = int(i);
            bestCount = count;
        }
    }
    return best < 0 ? Vector3d::Zero() : poses.front().local[size_t(best)];
}

void Rigger::chooseRests()
{
    const Matrix3d lying = AngleAxisd(std::numbers::pi / 2, Vector3d::UnitX()).toRotationMatrix();
    for (Node& node : nodes) {
        if (node.kind == Node::Reference) {
            if (rig.localXBones)
                node.rest = turnFromX(source.up);
            else if (rig.lyingRest)
                node.rest = lying.transpose();
        } else if (node.kind == Node::Original && !node.isEndSite) {
            const Vector3d main = mainChildTranslation(node.source);
            if (rig.localXBones && main.norm() > 0)
                node.rest = turnFromX(main.normalized());
            else if (rig.lyingRest)
                node.rest = lying.transpose();
        } else if (node.kind == Node::Side && !node.isEndSite) {
            // Turned as its parent is, so that its End Site too lies where the recording's
            // frames say.
            node.rest = nodes[size_t(node.parent)].rest;
        }
    }
}

double Rigger::heading(size_t f) const
{
    const Vector3d& up = source.up;
    const Vector3d across = up.unitOrthogonal(), ahead = up.cross(across);
    const Vector3d facing = poses[f].turn[0] * across;
    const double x = facing.dot(across), y = facing.dot(ahead);
    return x == 0 && y == 0 ? 0.0 : std::atan2(y, x);
}

void Rigger::place(size_t f, std::vector<Matrix3d>& turn, std::vector<Vector3d>& at) const
{
    const Pose& pose = poses[f];
    const Vector3d& up = source.up;
    for (size_t n = 0; n < nodes.size(); ++n) {
        const Node& node = nodes[n];
        const Matrix3d parentTurn =
            node.parent >= 0 ? turn[size_t(node.parent)] : Matrix3d::Identity();
        const Vector3d parentAt = node.parent >= 0 ? at[size_t(node.parent)] : Vector3d::Zero();
        switch (node.kind) {
        case Node::Original:
            turn[n] =
                node.isEndSite ? parentTurn : Matrix3d(pose.turn[size_t(node.source)] * node.rest);
            at[n] = pose.place[size_t(node.source)];
            break;
        case Node::Reference: {
            turn[n] = AngleAxisd(heading(f), up).toRotationMatrix() * node.rest;
            const Vector3d root = pose.place[0];
            at[n] = rig.reference == Rig::Reference::WithPelvisPositions
                        ? Vector3d(root - (root.dot(up) - floor) * up)
                        : Vector3d(root - rootHeight * up);
            break;
        }
        case Node::Twist: {
            at[n] = (pose.place[size_t(node.a)] + pose.place[size_t(node.b)]) / 2;
            const Vector3d bone = parentTurn.transpose() * (at[n] - parentAt);
            const double angle = 0.4 * std::sin(0.1 * double(f) + node.b);
            turn[n] = bone.norm() > 0 ? Matrix3d(parentTurn * AngleAxisd(angle, bone.normalized()))
                                      : parentTurn;
            break;
        }
        case Node::Side:
            turn[n] = node.isEndSite ? parentTurn
                                     : Matrix3d(parentTurn * AngleAxisd(0.2, Vector3d::UnitZ()));
            at[n] =
                parentAt + parentTurn * nodes[size_t(node.parent)].rest.transpose() * node.shape;
            break;
        }
    }
}

QByteArray number(double value)
{
    return value == 0 ? QByteArray("0") : QByteArray::number(value, 'g', 13);
}

QByteArray vectorText(const Vector3d& v)
{
    return number(v.x()) + ' ' + number(v.y()) + ' ' + number(v.z());
}

Rigged Rigger::write()
{
    Rigged result;
    result.convention = convention;
    const bool fixed = convention.rotationOrder == RotationOrder::Fixed;
    const bool replace = convention.positionChannels == PositionChannels::ReplaceOffset;
    const double scale = rig.scale;
    const double degreesPerRadian = 180.0 / double(convention.pi);

    // The OFFSETs: where each joint lies in its parent's frame in the first frame; the rest
    // OFFSET turned into the new frame for a joint whose position channels move it.
    const size_t count = nodes.size();
    std::vector<Matrix3d> turn(count);
    std::vector<Vector3d> at(count);
    place(0, turn, at);
    for (size_t n = 0; n < count; ++n) {
        Node& node = nodes[n];
        if (node.parent < 0) {
            node.offset =
                node.source >= 0 ? joints[node.source]->getExactOffset() : Vector3d::Zero();
            continue;
        }
        const Matrix3d& parentTurn = turn[size_t(node.parent)];
        node.offset = parentTurn.transpose() * (at[n] - at[size_t(node.parent)]);
        if (node.kind == Node::Original && node.source == 0)
            node.offset = nodes[size_t(node.parent)].rest.transpose() * (rootHeight * source.up);
        else if (node.kind == Node::Original && node.positions &&
                 parents[size_t(node.source)] >= 0 &&
                 nodes[size_t(node.parent)].kind == Node::Original)
            node.offset =
                nodes[size_t(node.parent)].rest.transpose() * joints[node.source]->getExactOffset();
    }

    if (rig.zeroOffsets) {
        for (Node& node : nodes) {
            if (node.positions)
                node.offset = Vector3d::Zero();
        }
    }

    // The hierarchy, in the order a reader lists the joints.
    QByteArray text = "HIERARCHY\n";
    std::vector<int> order;
    const auto writeNode = [&](const auto& self, int n, int depth) -> void {
        const Node& node = nodes[size_t(n)];
        const QByteArray indent(depth, '\t');
        if (node.isEndSite)
            text += indent + "End Site\n";
        else
            text += indent + (node.parent < 0 ? "ROOT " : "JOINT ") + node.name.toUtf8() + '\n';
        text += indent + "{\n" + indent + "\tOFFSET " + vectorText(scale * node.offset) + '\n';
        order.push_back(n);
        if (!node.isEndSite) {
            text += indent + "\tCHANNELS " +
                    (node.positions ? "6 Xposition Yposition Zposition " : "3 ") +
                    (fixed ? "Xrotation Yrotation Zrotation" : "Zrotation Xrotation Yrotation") +
                    '\n';
        }
        for (int child : node.children)
            self(self, child, depth + 1);
        text += indent + "}\n";
    };
    writeNode(writeNode, 0, 0);
    result.jointOf = QList<int>(joints.size(), -1);
    for (size_t i = 0; i < order.size(); ++i) {
        const Node& node = nodes[size_t(order[i])];
        if (node.kind == Node::Original)
            result.jointOf[node.source] = int(i);
    }

    const qsizetype frames = qsizetype(poses.size()) + (rig.restFrameFirst ? 1 : 0);
    text += "MOTION\nFrames: " + QByteArray::number(frames) +
            "\nFrame Time: " + QByteArray::number(source.motion->frameTime, 'g', 17) + '\n';
    result.firstFrame = rig.restFrameFirst ? 1 : 0;
    const auto addRow = [&](size_t f, bool rest) {
        if (!rest)
            place(f, turn, at);
        QByteArray row;
        for (const int n : order) {
            const Node& node = nodes[size_t(n)];
            if (node.isEndSite)
                continue;
            const Matrix3d parentTurn =
                node.parent >= 0 ? turn[size_t(node.parent)] : Matrix3d::Identity();
            const Vector3d parentAt = node.parent >= 0 ? at[size_t(node.parent)] : Vector3d::Zero();
            const Vector3d local = parentTurn.transpose() * (at[size_t(n)] - parentAt);
            if (node.positions) {
                Vector3d value = rest && node.parent >= 0 ? node.offset : local;
                if (!replace)
                    value -= node.offset;
                row += vectorText(scale * value) + ' ';
            }
            if (rest) {
                row += "0 0 0 ";
                continue;
            }
            const Matrix3d own = parentTurn.transpose() * turn[size_t(n)];
            const Vector3d angles = fixed ? own.eulerAngles(0, 1, 2) : own.eulerAngles(2, 0, 1);
            row += vectorText(degreesPerRadian * angles) + ' ';
        }
        row.chop(1);
        text += row + '\n';
    };
    if (rig.restFrameFirst) {
        place(0, turn, at); // the root's first place, for the rest frame's root channels
        addRow(0, true);
    }
    for (size_t f = 0; f < poses.size(); ++f)
        addRow(f, false);
    result.text = rig.scrambledNames ? scrambledNames(text) : text;
    return result;
}

} // namespace

Rigged rig(const Source& source, const Rig& rig, const PoseConvention& convention)
{
    if (!source.motion || !source.motion->root || source.motion->rowCount() == 0) {
        Rigged nothing;
        nothing.problem = QStringLiteral("the recording has no skeleton or no frame");
        return nothing;
    }
    return Rigger(source, rig, convention).write();
}

std::vector<Vector3d> worldPlaces(const BvhFile& motion, const PoseConvention& convention,
                                  int frame)
{
    if (!motion.root || frame < 0 || frame >= motion.rowCount())
        return {};
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    return posed(joints, parentsOf(joints), motion.frames[frame], convention).place;
}

} // namespace TestSupport::Rerig
