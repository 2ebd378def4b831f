#pragma once

#include "physics/masssegment.h"
#include "physics/segmentbinding.h"
#include "skeleton/skeletonprofile.h"
#include "skeleton/skeletonshape.h"

#include <QList>
#include <QString>
#include <QStringList>

class BvhJoint;

// The skeleton profiles the program knows: those built into it, then those of the installed
// profile folder and the user's own, each a file NAME.profile.xml. A profile names its model
// with <Model>FILE</Model> (relative to its own folder) or holds Segment elements itself.
class SkeletonProfiles
{
public:
    // The profile matching a skeleton best, with its model fitted to the skeleton.
    struct Match
    {
        qsizetype profile = -1; // index into getProfiles()
        SkeletonProfile::FittedModel model;
        SegmentBinding binding;
    };

    // The built-in profiles, then those of `folders` in order; a profile whose name is already
    // known replaces the earlier one.
    static SkeletonProfiles load(const QStringList& folders = installedFolders());
    // The folder installed beside the program (PREFIX/share/kinovane/profiles for
    // PREFIX/bin/kinovane) and the user's (~/.local/share/kinovane/profiles).
    static QStringList installedFolders();

    const QList<SkeletonProfile>& getProfiles() const { return profiles; }
    // Profile files that could not be read, and what was repaired in the others.
    const QStringList& getWarnings() const { return warnings; }
    // Null for an unknown name.
    const SkeletonProfile* find(const QString& name) const;
    // The index of the profile of that name in getProfiles(); -1 for an unknown name.
    qsizetype indexOf(const QString& name) const;
    // What to tell someone who asked for an unknown profile: its name and the known ones.
    QString unknownProfileMessage(const QString& name) const;

    // The profile whose model binds the most segments of the skeleton; between equals the
    // iPi Studio profile ("ipi"), then the one knowing most of the skeleton's joint names,
    // then the one needing the fewest names other than a landmark's first, then the first
    // loaded. Profile index -1 only without profiles. Only a profile whose model binds
    // completely fits the skeleton: the match says how near the nearest comes otherwise.
    Match detect(const QList<BvhJoint*>& joints) const;
    // The same for a profile chosen by the caller.
    Match matchWith(qsizetype profile, const QList<BvhJoint*>& joints) const;
    // The model of `profile` fitted to the skeleton and bound (the match's index stays -1).
    static Match fit(const SkeletonProfile& profile, const QList<BvhJoint*>& joints);

    // The profile of a skeleton recognised by its shape: its landmarks, the convention of most
    // producers, centimetres (judged by the skeleton's size) and the built-in landmark model.
    SkeletonProfile shapeProfile(const SkeletonShape::Recognition& shape) const;
    // What a skeleton that no profile fits is posed with: the iPi Studio convention (the
    // program's default), centimetres, no landmarks.
    static SkeletonProfile noProfile();

    static const QString ipiStudio; // the name of the iPi Studio profile
    static const QString byShape;   // the name of the profile of a skeleton recognised by shape

private:
    void loadFolder(const QString& folder);

    QList<SkeletonProfile> profiles;
    QStringList warnings;
    MassSegmentModel landmarkModel; // de Leva's, between landmarks
};
