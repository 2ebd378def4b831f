// Times the centre-of-mass table and the joint tables on a generated motion of 60 joints (End
// Sites included) and 100,000 frames, with the shipped 14-segment mass model.
//
//   bench_physics [frames]

#include "gait/gaitcycles.h"
#include "gait/gaitreference.h"
#include "gait/gaitscores.h"
#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "gait/sway.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "physics/masssegmentfile.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
#include "skeleton/skeletonshape.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

static constexpr int jointTarget = 60;

static BvhJoint* addJoint(BvhJoint* parent, const char* name, float x, float y, float z,
                          bool endSite = false)
{
    auto* joint = new BvhJoint;
    joint->setName(QString::fromLatin1(endSite ? "End Site" : name));
    joint->setOffset(x, y, z);
    if (!endSite) {
        for (const char* channel : {"Zrotation", "Xrotation", "Yrotation"})
            joint->addChannel(QString::fromLatin1(channel));
    }
    if (parent) {
        parent->addChild(joint);
        joint->setParentJoint(parent);
    }
    return joint;
}

// The skeleton of the shipped walk (so the shipped model binds), with fingers added to the
// hands until it has jointTarget joints.
static BvhJoint* buildSkeleton()
{
    auto* hips = new BvhJoint;
    hips->setName(QStringLiteral("Hips"));
    for (const char* channel :
         {"Xposition", "Yposition", "Zposition", "Zrotation", "Xrotation", "Yrotation"})
        hips->addChannel(QString::fromLatin1(channel));
    BvhJoint* lower = addJoint(hips, "LowerSpine", 0, 10, 0);
    BvhJoint* middle = addJoint(lower, "MiddleSpine", 0, 12, 0);
    BvhJoint* chest = addJoint(middle, "Chest", 0, 12, 0);
    BvhJoint* neck = addJoint(chest, "Neck", 0, 19.2f, 0);
    BvhJoint* head = addJoint(neck, "Head", 0, 10, 0);
    addJoint(head, nullptr, 0, 14.3f, 0, true);
    int count = 7;
    std::vector<BvhJoint*> hands;
    for (const float side : {1.0f, -1.0f}) {
        const bool left = side > 0;
        BvhJoint* clavicle = addJoint(chest, left ? "LClavicle" : "RClavicle", 2 * side, 14, 1);
        BvhJoint* shoulder = addJoint(clavicle, left ? "LShoulder" : "RShoulder", 15 * side, 0, -1);
        BvhJoint* forearm = addJoint(shoulder, left ? "LForearm" : "RForearm", 0, -28.2f, 0);
        hands.push_back(addJoint(forearm, left ? "LHand" : "RHand", 0, -26.9f, 0));
        count += 4;
    }
    for (const float side : {1.0f, -1.0f}) {
        const bool left = side > 0;
        BvhJoint* thigh = addJoint(hips, left ? "LThigh" : "RThigh", 9 * side, 0, 0);
        BvhJoint* shin = addJoint(thigh, left ? "LShin" : "RShin", 0, -42.2f, 0);
        BvhJoint* foot = addJoint(shin, left ? "LFoot" : "RFoot", 0, -43.4f, 0);
        BvhJoint* toe = addJoint(foot, left ? "LToe" : "RToe", 0, -5, 13.5f);
        addJoint(toe, nullptr, 0, -1.5f, 6, true);
        count += 5;
    }
    // Fingers of two joints and an End Site, the last one shorter if needed.
    for (int finger = 0; count < jointTarget; ++finger) {
        BvhJoint* parent = hands[size_t(finger % 2)];
        const float spread = float(finger / 2 - 2) * 1.5f;
        const int length = std::min(jointTarget - count, 3);
        for (int k = 0; k < length - 1; ++k)
            parent = addJoint(parent, qPrintable(QStringLiteral("Finger%1_%2").arg(finger).arg(k)),
                              spread, -3.5f, 0);
        addJoint(parent, nullptr, 0, -2.5f, 0, true);
        count += length;
    }
    return hips;
}

static void fillFrames(BvhFile& motion, int frames)
{
    int channels = 0;
    for (const BvhJoint* joint : motion.root->getAllJoints())
        channels += joint->getNumChannels();
    motion.frames = FrameRows(frames, channels);
    for (int f = 0; f < frames; ++f) {
        const std::span<double> row = motion.frames.rowToChange(f);
        row[0] = 5 * std::sin(f * 0.01);
        row[1] = 90 + 2 * std::sin(f * 0.2);
        row[2] = f * 1.5 / 60;
        for (int k = 3; k < channels; ++k)
            row[k] = 30 * std::sin(f * 0.013 * (k % 7 + 1) + k);
    }
    motion.numFrames = frames;
    motion.frameTime = 1.0 / 60;
}

// The tables' "%g" cells come from NumberFormat's fast path; compare it with printf on values
// like those they hold (floats of every magnitude, widened) and on random doubles.
static void checkNumberFormat(int count)
{
    std::mt19937_64 random(20260601);
    std::uniform_real_distribution<double> exponent(-35.0, 35.0);
    std::uniform_int_distribution<int> significant(1, 9);
    long long mismatches = 0;
    char expected[400];
    for (int i = 0; i < count; ++i) {
        double value = std::pow(10.0, exponent(random)) * (random() % 2 ? 1 : -1);
        if (i % 2)
            value = double(float(value));
        const int digits = i % 3 ? 6 : significant(random);
        std::snprintf(expected, sizeof expected, "%.*g", digits, value);
        if (NumberFormat::general(value, digits) != QLatin1String(expected) && ++mismatches <= 5)
            std::printf("  mismatch: %s\n", expected);
    }
    std::printf("number format check: %d values against printf, %lld mismatches\n", count,
                mismatches);
}

// Best and all of three runs, in seconds; returns the best.
static double time(const char* what, const std::function<QString()>& run)
{
    std::vector<double> seconds;
    QString detail;
    for (int repeat = 0; repeat < 3; ++repeat) {
        QElapsedTimer timer;
        timer.start();
        detail = run();
        seconds.push_back(double(timer.nsecsElapsed()) * 1e-9);
    }
    std::printf("%-44s best %.3f s  (runs %.3f, %.3f, %.3f)  %s\n", what,
                *std::min_element(seconds.begin(), seconds.end()), seconds[0], seconds[1],
                seconds[2], qPrintable(detail));
    std::fflush(stdout);
    return *std::min_element(seconds.begin(), seconds.end());
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    qSetMessagePattern(QStringLiteral("%{if-warning}%{message}%{endif}")); // no progress lines

    checkNumberFormat(2000000);

    BvhFile motion;
    motion.root = buildSkeleton();
    fillFrames(motion, frames);
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    int channels = 0;
    for (const BvhJoint* joint : joints)
        channels += joint->getNumChannels();

    const MassSegmentReadResult model = MassSegmentFile::read(
        QStringLiteral(KINOVANE_SOURCE_DIR "/samples/defaultMassSegments.xml"));
    if (!model.ok) {
        std::fprintf(stderr, "cannot read the shipped mass model\n");
        return 1;
    }
    const ExportOptions options = ExportOptions::wholeMotion(motion, PoseConvention::ipiStudio());
    std::printf("motion: %lld joints (End Sites included), %d channels, %d frames; "
                "mass model: %lld segments\n",
                (long long)joints.size(), channels, frames, (long long)model.segments.size());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.csv"));
    const auto size = [&path] {
        return QStringLiteral("%1 MB").arg(double(QFileInfo(path).size()) / 1e6, 0, 'f', 1);
    };
    const double table = time("centre-of-mass table (all frames)", [&] {
        const WriteResult result = CentreOfMass::writeCsv(motion, model.segments, path, options);
        return result.ok ? size() : result.errorString;
    });
    time("centre of mass, pose and centres loop", [&] {
        PoseEvaluator pose(motion.root, PoseConvention::ipiStudio());
        const SegmentBinding binding = SegmentBinding::bind(model.segments, pose.getJoints());
        CentresOfMass centres;
        double sum = 0;
        for (int f = 0; f < frames; ++f) {
            const std::span<const double> row = motion.frames[f];
            pose.evaluateRow(row);
            CentreOfMass::compute(model.segments, binding, pose.getPositions(), centres);
            sum += double(centres.body.y());
        }
        return QStringLiteral("(no file; mean height %1)").arg(sum / frames);
    });
    // Recognition reads a few sampled rows whatever the motion's length (goal < 50 ms).
    time("skeleton recognised by its shape", [&] {
        QElapsedTimer timer;
        timer.start();
        const SkeletonShape::Recognition shape = SkeletonShape::recognise(motion);
        const double milliseconds = double(timer.nsecsElapsed()) * 1e-6;
        return shape.ok() ? QStringLiteral("%1 ms, from %2 rows (goal < 50 ms)")
                                .arg(milliseconds, 0, 'f', 2)
                                .arg(shape.frames.size())
                          : shape.problem;
    });
    const SkeletonProfiles profiles = SkeletonProfiles::load();
    MotionSetup setup = MotionSetup::choose(profiles, motion, {});
    setup.segments = model.segments;
    MotionAnalysis analysed;
    const double analysis = time("centre-of-mass analysis with joint angles (all frames)", [&] {
        analysed = MotionAnalysis::analyse(motion, setup, {}, FrameRange::all(frames));
        return analysed.ok() ? QStringLiteral("%1 gait events").arg(analysed.events.size())
                             : analysed.errorString;
    });
    std::printf("analysis less the table: %+.3f s (goal <= 0.5 s)\n", analysis - table);
    const Strides strides = Strides::of(analysed, setup.unit);
    GaitCycles cycles;
    time("strides and gait cycles", [&] {
        cycles = GaitCycles::of(analysed, Strides::of(analysed, setup.unit));
        return QStringLiteral("%1 strides, %2 curves")
            .arg(strides.strides.size())
            .arg(cycles.curves.size());
    });
    // What a reference and a standing trial add to the analysis (goal < 0.1 s together): the
    // motion's own reference built and scored, and its centre's path measured as a sway.
    time("reference of the walk and its scores", [&] {
        const GaitReference reference =
            GaitReference::build({GaitReference::walkOf(analysed, strides)}, false);
        return GaitScores::of(cycles, reference).describe();
    });
    // Also over a prime count of frames, whose transform is zero-padded.
    for (const size_t frames : {analysed.centre.size(), size_t(99991)}) {
        time(qPrintable(QStringLiteral("sway measures of %1 centres").arg(frames)), [&] {
            std::vector<Eigen::Vector2d> path;
            for (size_t i = 0; i < std::min(frames, analysed.centre.size()); ++i)
                path.emplace_back(analysed.centre[i].x() * setup.unit.metresPerUnit(),
                                  analysed.centre[i].z() * setup.unit.metresPerUnit());
            const Sway sway = Sway::measure(std::move(path), analysed.frameTime);
            return QStringLiteral("%1 frames, 95 % power below %2 Hz")
                .arg(sway.frames)
                .arg(sway.value(Sway::PowerFrequency95));
        });
    }
    time("absolute-position table (all joints)", [&] {
        const WriteResult result = JointTables::writePositions(motion, path, options);
        return result.ok ? size() : result.errorString;
    });
    time("rotation table (all joints)", [&] {
        const WriteResult result = JointTables::writeRotations(motion, path, options);
        return result.ok ? size() : result.errorString;
    });
    return 0;
}
