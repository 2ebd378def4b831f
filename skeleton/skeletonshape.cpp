#include "skeletonshape.h"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/lengthunit.h"
#include "model/motionsamples.h"
#include "model/poseevaluator.h"

#include <QHash>
#include <QRegularExpression>

#include <Eigen/Geometry>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace SkeletonShape {
namespace {

using Eigen::Vector3d;

// Proportions of the limbs, as fractions of the thigh (de Leva 1996: thigh 42.22 cm, upper
// arm 28.17 cm, forearm 26.89 cm), and the toes about this far from the ankle.
constexpr double upperArmPerThigh = 0.667;
constexpr double forearmPerThigh = 0.637;
constexpr double footPerThigh = 0.45;
// A shoulder joint nearer than this (fraction of the thigh) to where the arms meet is no
// shoulder but the clavicle's root; a hand shorter than this is no hand, so the wrist is not
// the arm's end.
constexpr double shortestClavicle = 0.1;
constexpr double shortestHand = 0.1;
// A limb longer than this many joints is no human's (and would make the fits slow).
constexpr size_t longestLimb = 40;

const QString endSiteName = QStringLiteral("End Site");

// The skeleton below its body root as an undirected tree, with the length of every bone.
class Tree
{
public:
    // Distances along the bones from a set of joints, and the next joint toward the set.
    struct Reach
    {
        std::vector<double> distance; // negative for joints outside the body
        std::vector<int> toward;      // -1 for the set's own joints
    };

    // The body hangs from the topmost joint with position channels, or from the first joint
    // below it with more than one child: a joint above the pelvis with a single child (a
    // reference on the floor, or one travelling with the body) is set aside. Each bone is as
    // long as MotionSamples::boneLengths says.
    Tree(const BvhFile& motion, const std::vector<double>& lengths)
        : joints(motion.root->getAllJoints())
    {
        const int count = int(joints.size());
        parent.assign(size_t(count), -1);
        length.assign(size_t(count), 0.0);
        neighbours.resize(size_t(count));
        QHash<const BvhJoint*, int> indexOf;
        for (int i = 0; i < count; ++i)
            indexOf.insert(joints[i], i);
        const BvhJoint* top = motion.root->getMovingRoot();
        while (top->getNumChildren() == 1 && top->getChild(0)->getNumChildren() > 0) {
            setAside.append(indexOf.value(top));
            top = top->getChild(0);
        }
        bodyRoot = indexOf.value(top, 0);
        std::vector<char> inBody(size_t(count), 0);
        inBody[size_t(bodyRoot)] = 1;
        // Pre-order: a parent comes before its children.
        for (int i = bodyRoot + 1; i < count; ++i) {
            const int p = indexOf.value(joints[i]->getParentJoint(), -1);
            if (p < 0 || !inBody[size_t(p)])
                continue;
            inBody[size_t(i)] = 1;
            parent[size_t(i)] = p;
            length[size_t(i)] = lengths[size_t(i)];
            neighbours[size_t(i)].push_back(p);
            neighbours[size_t(p)].push_back(i);
        }
        for (int i = 0; i < count; ++i) {
            if (inBody[size_t(i)] && i != bodyRoot && neighbours[size_t(i)].size() == 1)
                leaves.push_back(i);
        }
    }

    int size() const { return int(joints.size()); }

    double bone(int a, int b) const
    {
        return parent[size_t(b)] == a ? length[size_t(b)] : length[size_t(a)];
    }

    Reach reach(const std::vector<int>& sources) const
    {
        Reach r{std::vector<double>(size_t(size()), -1.0), std::vector<int>(size_t(size()), -1)};
        std::vector<int> open;
        for (int s : sources) {
            r.distance[size_t(s)] = 0.0;
            open.push_back(s);
        }
        while (!open.empty()) {
            const int u = open.back();
            open.pop_back();
            for (int w : neighbours[size_t(u)]) {
                if (r.distance[size_t(w)] >= 0.0)
                    continue;
                r.distance[size_t(w)] = r.distance[size_t(u)] + bone(u, w);
                r.toward[size_t(w)] = u;
                open.push_back(w);
            }
        }
        return r;
    }

    // The joints from `from` to the reach's set, both included.
    static std::vector<int> path(int from, const Reach& r)
    {
        std::vector<int> joints;
        for (int j = from; j >= 0; j = r.toward[size_t(j)])
            joints.push_back(j);
        return joints;
    }

    // The leaf farthest from the reach's set outside `taken`; -1 when none is away from it.
    int farthestLeaf(const Reach& r, const std::vector<char>& taken) const
    {
        int best = -1;
        for (int leaf : leaves) {
            if (taken[size_t(leaf)] || !(r.distance[size_t(leaf)] > 0.0))
                continue;
            if (best < 0 || r.distance[size_t(leaf)] > r.distance[size_t(best)])
                best = leaf;
        }
        return best;
    }

    // The joints reached from `start` without passing `barrier`.
    std::vector<int> branch(int start, int barrier) const
    {
        std::vector<int> found{start}, open{start};
        std::vector<char> seen(size_t(size()), 0);
        seen[size_t(start)] = seen[size_t(barrier)] = 1;
        while (!open.empty()) {
            const int u = open.back();
            open.pop_back();
            for (int w : neighbours[size_t(u)]) {
                if (!seen[size_t(w)]) {
                    seen[size_t(w)] = 1;
                    found.push_back(w);
                    open.push_back(w);
                }
            }
        }
        return found;
    }

    bool isLeaf(int j) const { return neighbours[size_t(j)].size() == 1; }

    QList<BvhJoint*> joints;
    std::vector<int> parent;
    std::vector<double> length;
    std::vector<std::vector<int>> neighbours;
    std::vector<int> leaves;
    int bodyRoot = -1;
    QList<int> setAside; // joints above the body
};

// The posed places of every joint in the sampled rows, under the standard convention; the rest
// pose alone when there is no row.
class PosedSamples
{
public:
    PosedSamples(const BvhFile& motion, const std::vector<int>& rows)
        : frames(MotionSamples::poses(motion, PoseConvention::standard(), rows))
    {
        if (frames.empty())
            frames.push_back(restPosePositions(motion.root));
    }

    // The distance between two joints over the frames: its median, and how much it varies
    // (from least to most, as a share of the median). Joints of one bone keep their distance;
    // joints with a joint that bends between them do not.
    struct Distance
    {
        double length = 0.0;
        double spread = 0.0;
    };
    Distance distance(int a, int b) const
    {
        std::vector<double> lengths;
        lengths.reserve(frames.size());
        for (const std::vector<Vector3d>& at : frames)
            lengths.push_back((at[size_t(a)] - at[size_t(b)]).norm());
        const auto [least, most] = std::minmax_element(lengths.begin(), lengths.end());
        const double spread = *most - *least;
        const double length = MotionSamples::median(std::move(lengths));
        return {length, length > 0 ? spread / length : 0.0};
    }

    // The distances between every two joints of a chain.
    std::vector<std::vector<Distance>> distances(const std::vector<int>& chain) const
    {
        std::vector<std::vector<Distance>> d(chain.size(), std::vector<Distance>(chain.size()));
        for (size_t i = 0; i < chain.size(); ++i) {
            for (size_t k = i + 1; k < chain.size(); ++k)
                d[i][k] = d[k][i] = distance(chain[i], chain[k]);
        }
        return d;
    }

    std::vector<std::vector<Vector3d>> frames;
};

struct Leg
{
    int hip = -1, knee = -1, ankle = -1, toe = -1;
    double thigh = 0.0;
};

struct Arm
{
    int shoulder = -1, elbow = -1, wrist = -1;
};

double squaredLog(double ratio)
{
    const double value = std::log(ratio);
    return value * value;
}

// The hip, knee, ankle and toe of a chain from the pelvis to a leg's end: the thigh and the
// shank about as long, the foot after the ankle about as long as footPerThigh says, and each
// of them one rigid bone in the posed frames (a bent knee between two joints changes their
// distance; a twist bone inside the thigh does not); between equal fits the joints nearest the
// pelvis.
Leg fitLeg(const PosedSamples& samples, const std::vector<int>& chain)
{
    const std::vector<std::vector<PosedSamples::Distance>> d = samples.distances(chain);
    const size_t m = chain.size() - 1;
    Leg leg;
    double best = std::numeric_limits<double>::infinity();
    for (size_t h = 1; h < m; ++h) {
        for (size_t k = h + 1; k < m; ++k) {
            for (size_t a = k + 1; a < m; ++a) {
                const double thigh = d[h][k].length, shank = d[k][a].length, foot = d[a][m].length,
                             hipOffset = d[0][h].length;
                if (!(thigh > 0 && shank > 0 && foot > 0))
                    continue;
                const double cost =
                    squaredLog(shank / thigh) + 0.25 * squaredLog(foot / (footPerThigh * thigh)) +
                    (hipOffset > thigh ? 1.0 : 0.0) + d[h][k].spread + d[k][a].spread;
                if (cost < best) {
                    best = cost;
                    leg = {chain[h], chain[k], chain[a], chain[a + 1], thigh};
                }
            }
        }
    }
    return leg;
}

// The shoulder, elbow and wrist of a chain from where the arms meet to an arm's end, for a
// thigh of `thigh`: the upper arm and forearm as long as a human's would be and each one rigid
// bone in the posed frames, the shoulder joint some way out from the spine, and a hand after
// the wrist.
Arm fitArm(const PosedSamples& samples, const std::vector<int>& chain, double thigh)
{
    const std::vector<std::vector<PosedSamples::Distance>> d = samples.distances(chain);
    const size_t m = chain.size() - 1;
    Arm arm;
    double best = std::numeric_limits<double>::infinity();
    for (size_t s = 1; s <= m; ++s) {
        for (size_t e = s + 1; e <= m; ++e) {
            for (size_t w = e + 1; w <= m; ++w) {
                const double upper = d[s][e].length, fore = d[e][w].length, hand = d[w][m].length,
                             clavicle = d[0][s].length;
                if (!(upper > 0 && fore > 0))
                    continue;
                const double cost = squaredLog(upper / (upperArmPerThigh * thigh)) +
                                    squaredLog(fore / (forearmPerThigh * thigh)) +
                                    (clavicle < shortestClavicle * thigh ? 1.0 : 0.0) +
                                    (hand < shortestHand * thigh ? 1.0 : 0.0) + d[s][e].spread +
                                    d[e][w].spread;
                if (cost < best) {
                    best = cost;
                    arm = {chain[s], chain[e], chain[w]};
                }
            }
        }
    }
    return arm;
}

// +1 when the names along a chain say left ("Left", "L" as a word of the name: LThigh,
// UpperLeg_L, CC_Base_L_Thigh), -1 when they say right, 0 when they say neither or both.
int nameSide(const Tree& tree, const std::vector<int>& chain)
{
    static const QRegularExpression words(QStringLiteral("[A-Z]+(?![a-z])|[A-Z]?[a-z]+|[0-9]+"));
    int left = 0, right = 0;
    for (int j : chain) {
        auto match = words.globalMatch(tree.joints[j]->getName());
        while (match.hasNext()) {
            const QString word = match.next().captured().toLower();
            left += word == QLatin1String("l") || word == QLatin1String("left");
            right += word == QLatin1String("r") || word == QLatin1String("right");
        }
    }
    return left > right ? 1 : right > left ? -1 : 0;
}

QString landmarkName(const Tree& tree, int joint)
{
    const BvhJoint* j = tree.joints[joint];
    if (j->getName() == endSiteName && j->getParentJoint())
        return j->getParentJoint()->getName() + QStringLiteral("/End Site");
    return j->getName();
}

Recognition failure(const QString& problem)
{
    Recognition r;
    r.problem = problem;
    return r;
}

} // namespace

Recognition recognise(const BvhFile& motion)
{
    if (!motion.root)
        return failure(QStringLiteral("there is no skeleton"));
    const std::vector<int> frames = MotionSamples::rows(motion);
    const Tree tree(motion, MotionSamples::boneLengths(motion, PoseConvention::standard(), frames));
    const PosedSamples samples(motion, frames);
    Recognition recognition; // what was read, whether it is recognised or not
    recognition.frames = QList<int>(frames.begin(), frames.end());
    for (const int joint : tree.setAside)
        recognition.setAside.append(tree.joints[joint]->getName());
    const auto fail = [&](const QString& problem) {
        Recognition failed = recognition;
        failed.problem = problem;
        return failed;
    };
    if (tree.leaves.size() < 5)
        return fail(QStringLiteral("the skeleton has fewer than five branches (two legs, "
                                   "two arms and a head)"));

    // The four limbs: the longest path through the skeleton, then twice the branch reaching
    // farthest from what was found.
    std::vector<char> core(size_t(tree.size()), 0);
    std::vector<int> ends;
    const int first = tree.farthestLeaf(tree.reach({tree.bodyRoot}), core);
    if (first < 0)
        return fail(QStringLiteral("its bones have no length"));
    const Tree::Reach fromFirst = tree.reach({first});
    const int second = tree.farthestLeaf(fromFirst, core);
    if (second < 0)
        return fail(QStringLiteral("its bones have no length"));
    std::vector<int> coreJoints = Tree::path(second, fromFirst);
    for (int j : coreJoints)
        core[size_t(j)] = 1;
    ends = {first, second};
    for (int limb = 0; limb < 2; ++limb) {
        const Tree::Reach fromCore = tree.reach(coreJoints);
        const int end = tree.farthestLeaf(fromCore, core);
        if (end < 0)
            return fail(QStringLiteral("it has fewer than four limbs"));
        for (int j : Tree::path(end, fromCore)) {
            if (!core[size_t(j)])
                coreJoints.push_back(j);
            core[size_t(j)] = 1;
        }
        ends.push_back(end);
    }

    // Legs and arms: the two pairs of limbs whose paths do not cross.
    const auto between = [&](int a, int b) { return Tree::path(a, tree.reach({b})); };
    static constexpr std::array<std::array<int, 4>, 3> pairings{
        {{0, 1, 2, 3}, {0, 2, 1, 3}, {0, 3, 1, 2}}};
    std::vector<int> pairPath[2];
    std::array<int, 4> pairing{};
    bool paired = false;
    for (const std::array<int, 4>& p : pairings) {
        pairPath[0] = between(ends[size_t(p[0])], ends[size_t(p[1])]);
        pairPath[1] = between(ends[size_t(p[2])], ends[size_t(p[3])]);
        std::vector<char> onFirst(size_t(tree.size()), 0);
        for (int j : pairPath[0])
            onFirst[size_t(j)] = 1;
        if (std::none_of(pairPath[1].begin(), pairPath[1].end(),
                         [&](int j) { return onFirst[size_t(j)]; })) {
            pairing = p;
            paired = true;
            break;
        }
    }
    if (!paired)
        return fail(QStringLiteral("its four limbs do not meet in two pairs"));
    // Where each pair meets: the joint of its path nearest the other pair's.
    int meeting[2];
    for (int pair = 0; pair < 2; ++pair) {
        const Tree::Reach fromOther = tree.reach(pairPath[1 - pair]);
        meeting[pair] =
            *std::min_element(pairPath[pair].begin(), pairPath[pair].end(), [&](int a, int b) {
                return fromOther.distance[size_t(a)] < fromOther.distance[size_t(b)];
            });
    }
    const Tree::Reach fromRoot = tree.reach({tree.bodyRoot});
    const int legPair =
        fromRoot.distance[size_t(meeting[0])] <= fromRoot.distance[size_t(meeting[1])] ? 0 : 1;
    const int pelvis = meeting[legPair], upperSpine = meeting[1 - legPair];
    if (pelvis == upperSpine)
        return fail(QStringLiteral("its legs and arms meet at one joint"));
    const int legEnds[2] = {ends[size_t(pairing[size_t(2 * legPair)])],
                            ends[size_t(pairing[size_t(2 * legPair + 1)])]};
    const int armEnds[2] = {ends[size_t(pairing[size_t(2 - 2 * legPair)])],
                            ends[size_t(pairing[size_t(3 - 2 * legPair)])]};

    // The head: the branch reaching farthest from the trunk between pelvis and arms.
    const std::vector<int> trunk = between(pelvis, upperSpine);
    std::vector<char> onTrunk(size_t(tree.size()), 0);
    for (int j : trunk)
        onTrunk[size_t(j)] = j != pelvis;
    const Tree::Reach fromCore = tree.reach(coreJoints);
    int headLeaf = -1, headBase = -1;
    for (int leaf : tree.leaves) {
        if (core[size_t(leaf)] || !(fromCore.distance[size_t(leaf)] > 0.0))
            continue;
        const std::vector<int> way = Tree::path(leaf, fromCore);
        if (!onTrunk[size_t(way.back())])
            continue;
        if (headLeaf < 0 || fromCore.distance[size_t(leaf)] > fromCore.distance[size_t(headLeaf)]) {
            headLeaf = leaf;
            headBase = way.back();
        }
    }
    if (headLeaf < 0)
        return fail(QStringLiteral("no head leaves its trunk"));
    const std::vector<int> headWay = Tree::path(headLeaf, fromCore);
    const int neckStart = headWay[headWay.size() - 2];
    std::vector<int> headLeaves;
    for (int j : tree.branch(neckStart, headBase)) {
        if (tree.isLeaf(j))
            headLeaves.push_back(j);
    }
    const int neck = tree.isLeaf(neckStart) ? headBase : neckStart;

    // The joints along the limbs.
    Leg legs[2];
    std::vector<int> legChains[2], armChains[2];
    for (int side = 0; side < 2; ++side) {
        legChains[side] = between(legEnds[side], pelvis);
        std::reverse(legChains[side].begin(), legChains[side].end());
        if (legChains[side].size() < 5 || legChains[side].size() > longestLimb)
            return fail(QStringLiteral("a leg has fewer than four joints below the pelvis, "
                                       "or more than %1")
                            .arg(longestLimb));
        legs[side] = fitLeg(samples, legChains[side]);
        if (legs[side].hip < 0)
            return fail(QStringLiteral("a leg's bones have no length"));
    }
    const double thigh = (legs[0].thigh + legs[1].thigh) / 2;
    Arm arms[2];
    for (int side = 0; side < 2; ++side) {
        armChains[side] = between(armEnds[side], upperSpine);
        std::reverse(armChains[side].begin(), armChains[side].end());
        if (armChains[side].size() < 4 || armChains[side].size() > longestLimb)
            return fail(QStringLiteral("an arm has fewer than three joints, or more than %1")
                            .arg(longestLimb));
        arms[side] = fitArm(samples, armChains[side], thigh);
        if (arms[side].shoulder < 0)
            return fail(QStringLiteral("an arm's bones have no length"));
    }

    // Directions from the posed frames: in each, which of two limbs lies to the left, and how
    // high each end of the head's branch; the frames then vote, so that an odd frame does not
    // decide.
    const std::vector<Vector3d>& firstFrame = samples.frames.front();
    const Vector3d travel =
        samples.frames.back()[size_t(tree.bodyRoot)] - firstFrame[size_t(tree.bodyRoot)];
    int legVotes = 0, armVotes = 0; // for the first limb of each pair being the left one
    std::vector<double> height(headLeaves.size(), 0.0);
    for (const std::vector<Vector3d>& at : samples.frames) {
        const auto place = [&](int j) { return at[size_t(j)]; };
        const Vector3d up = (place(upperSpine) - place(pelvis)).normalized();
        for (size_t i = 0; i < headLeaves.size(); ++i)
            height[i] += (place(headLeaves[i]) - place(neck)).dot(up);
        // A foot points forward where it stands off the shank's line (a toe joint straight
        // below the ankle, as some skeletons end the leg, says nothing).
        Vector3d forward = Vector3d::Zero();
        double footLength = 0.0;
        for (const Leg& leg : legs) {
            const Vector3d foot = place(leg.toe) - place(leg.ankle);
            const Vector3d shank = place(leg.ankle) - place(leg.knee);
            if (foot.normalized().dot(shank.normalized()) < std::sqrt(0.5)) {
                forward += foot;
                footLength += foot.norm();
            }
        }
        forward -= forward.dot(up) * up;
        if (!(footLength > 0 && forward.norm() > 0.25 * footLength)) {
            // Feet without a forward toe: the knees, which bend forward, or the path walked.
            forward = Vector3d::Zero();
            for (const Leg& leg : legs)
                forward += place(leg.knee) - (place(leg.hip) + place(leg.ankle)) / 2;
            forward -= forward.dot(up) * up;
            if (!(forward.norm() > 0.05 * thigh)) {
                forward = travel - travel.dot(up) * up;
                if (!(forward.norm() > thigh))
                    continue;
            }
        }
        const Vector3d left = up.cross(forward).normalized();
        if (!left.allFinite())
            continue;
        const auto vote = [&](double first, double second) {
            return std::abs(first - second) > 1e-3 * thigh ? (first > second ? 1 : -1) : 0;
        };
        const auto legSide = [&](const Leg& leg) {
            return (place(leg.knee) + place(leg.ankle) - 2 * place(pelvis)).dot(left);
        };
        const auto armSide = [&](const Arm& arm) {
            return (place(arm.elbow) + place(arm.shoulder) - 2 * place(upperSpine)).dot(left);
        };
        legVotes += vote(legSide(legs[0]), legSide(legs[1]));
        armVotes += vote(armSide(arms[0]), armSide(arms[1]));
    }
    // 0 or 1: which of the two limbs is the left one; -1 when neither geometry nor names say.
    const auto leftOf = [&](int votes, const std::vector<int> chains[2]) {
        if (votes != 0)
            return votes > 0 ? 0 : 1;
        const int hint = nameSide(tree, chains[0]) - nameSide(tree, chains[1]);
        return hint > 0 ? 0 : hint < 0 ? 1 : -1;
    };
    int leftLeg = leftOf(legVotes, legChains), leftArm = leftOf(armVotes, armChains);
    if (leftLeg < 0 || leftArm < 0) {
        // Without frames (a file whose rows are still being read) a guess does: only the
        // convention and unit are wanted then, and they do not depend on the sides.
        if (motion.rowCount() > 0)
            return fail(QStringLiteral("its posed frames do not tell left from right"));
        leftLeg = std::max(leftLeg, 0);
        leftArm = std::max(leftArm, 0);
    }
    const int headTop =
        headLeaves[size_t(std::max_element(height.begin(), height.end()) - height.begin())];

    const auto add = [&](const char* name, int joint) {
        recognition.landmarks.append({QString::fromLatin1(name), {landmarkName(tree, joint)}});
    };
    add("pelvis", pelvis);
    add("neck", neck);
    add("head top", headTop);
    for (int side = 0; side < 2; ++side) {
        const bool isLeft = side == 0;
        const Arm& arm = arms[isLeft ? leftArm : 1 - leftArm];
        const Leg& leg = legs[isLeft ? leftLeg : 1 - leftLeg];
        add(isLeft ? "left shoulder" : "right shoulder", arm.shoulder);
        add(isLeft ? "left elbow" : "right elbow", arm.elbow);
        add(isLeft ? "left wrist" : "right wrist", arm.wrist);
        add(isLeft ? "left hip" : "right hip", leg.hip);
        add(isLeft ? "left knee" : "right knee", leg.knee);
        add(isLeft ? "left ankle" : "right ankle", leg.ankle);
        add(isLeft ? "left toe" : "right toe", leg.toe);
    }
    return recognition;
}

} // namespace SkeletonShape
