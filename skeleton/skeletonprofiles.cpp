#include "skeletonprofiles.h"

#include "physics/masssegmentfile.h"
#include "skeleton/skeletonprofilefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>

const QString SkeletonProfiles::ipiStudio = QStringLiteral("ipi");
const QString SkeletonProfiles::byShape = QStringLiteral("shape");

static const QString builtInFolder = QStringLiteral(":/kinovane/profiles");
static const QString builtInLandmarkModel = QStringLiteral(":/kinovane/profiles/deLeva1996.xml");

SkeletonProfiles SkeletonProfiles::load(const QStringList& folders)
{
    SkeletonProfiles library;
    library.landmarkModel = MassSegmentFile::read(builtInLandmarkModel).segments;
    library.loadFolder(builtInFolder);
    for (const QString& folder : folders)
        library.loadFolder(folder);
    return library;
}

QStringList SkeletonProfiles::installedFolders()
{
    QStringList folders;
    if (QCoreApplication::instance())
        folders.append(QCoreApplication::applicationDirPath() +
                       QStringLiteral("/../share/kinovane/profiles"));
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!user.isEmpty())
        folders.append(user + QStringLiteral("/kinovane/profiles"));
    return folders;
}

void SkeletonProfiles::loadFolder(const QString& folder)
{
    const QDir directory(folder);
    if (!directory.exists())
        return;
    const QStringList files = directory.entryList({QStringLiteral("*.profile.xml")},
                                                  QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        const QString path = directory.filePath(file);
        SkeletonProfileReadResult read = SkeletonProfileFile::read(path);
        if (!read.ok) {
            warnings.append(read.errorString);
            continue;
        }
        for (const QString& warning : std::as_const(read.warnings))
            warnings.append(QStringLiteral("%1: %2").arg(path, warning));
        SkeletonProfile& profile = read.profile;
        const QString modelFile = read.modelFile;
        if (!modelFile.isEmpty()) {
            const MassSegmentReadResult model =
                MassSegmentFile::read(directory.filePath(modelFile));
            if (!model.ok) {
                warnings.append(QStringLiteral("%1: %2").arg(path, model.errorString));
                continue;
            }
            profile.segments = model.segments;
        }
        const auto known =
            std::find_if(profiles.begin(), profiles.end(),
                         [&](const SkeletonProfile& p) { return p.name == profile.name; });
        if (known != profiles.end())
            *known = profile;
        else
            profiles.append(profile);
    }
}

qsizetype SkeletonProfiles::indexOf(const QString& name) const
{
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        if (profiles[i].name == name)
            return i;
    }
    return -1;
}

const SkeletonProfile* SkeletonProfiles::find(const QString& name) const
{
    const qsizetype index = indexOf(name);
    return index >= 0 ? &profiles[index] : nullptr;
}

QString SkeletonProfiles::unknownProfileMessage(const QString& name) const
{
    QStringList names;
    for (const SkeletonProfile& profile : profiles)
        names.append(profile.name);
    return QStringLiteral("unknown profile %1 (the profiles are %2)")
        .arg(name, names.join(QStringLiteral(", ")));
}

SkeletonProfiles::Match SkeletonProfiles::fit(const SkeletonProfile& profile,
                                              const QList<BvhJoint*>& joints)
{
    Match match;
    match.model = profile.fit(joints);
    match.binding = SegmentBinding::bind(match.model.segments, joints);
    return match;
}

SkeletonProfiles::Match SkeletonProfiles::matchWith(qsizetype profile,
                                                    const QList<BvhJoint*>& joints) const
{
    if (profile < 0 || profile >= profiles.size())
        return {};
    Match match = fit(profiles[profile], joints);
    match.profile = profile;
    return match;
}

SkeletonProfile SkeletonProfiles::noProfile()
{
    SkeletonProfile profile;
    profile.name = QStringLiteral("none");
    profile.title = QStringLiteral("No profile");
    // The program's default, as files that fit no profile have always been read.
    profile.convention = PoseConvention::ipiStudio();
    return profile;
}

SkeletonProfile SkeletonProfiles::shapeProfile(const SkeletonShape::Recognition& shape) const
{
    SkeletonProfile profile = noProfile();
    profile.name = byShape;
    profile.title = QStringLiteral("Humanoid");
    profile.convention = PoseConvention::standard();
    profile.landmarks = shape.landmarks;
    profile.segments = landmarkModel;
    return profile;
}

SkeletonProfiles::Match SkeletonProfiles::detect(const QList<BvhJoint*>& joints) const
{
    // Ranked by bound segments, then iPi Studio first, then known names, then fewest later
    // names; each key counted so that more is better.
    using Rank = std::tuple<size_t, bool, int, int>;
    Match best;
    Rank bestRank;
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        Match candidate = matchWith(i, joints);
        const Rank rank{candidate.binding.bound.size(), profiles[i].name == ipiStudio,
                        profiles[i].recognisedJoints(joints), -candidate.model.laterNames};
        if (best.profile < 0 || rank > bestRank) {
            best = std::move(candidate);
            bestRank = rank;
        }
    }
    return best;
}
