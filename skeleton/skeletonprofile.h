#pragma once

#include "model/lengthunit.h"
#include "model/poseconvention.h"
#include "physics/masssegment.h"

#include <QList>
#include <QString>
#include <QStringList>

class BvhJoint;

// What one producer family's recordings need to be posed, scaled and weighed right: the
// convention its files follow, its length unit, the names it gives the body's landmarks and
// a mass-segment model. Read from a profile file (SkeletonProfileFile); a user can edit one.
struct SkeletonProfile
{
    // The names one landmark of the body (a concept of the model: "pelvis", "left knee",
    // "head top") has in this family's skeletons, the preferred one first. A name "Joint/End
    // Site" is the End Site below Joint.
    struct Landmark
    {
        QString name; // what the model calls it ("left knee")
        QStringList jointNames;
    };

    // The model and how well a skeleton's names fit it.
    struct FittedModel
    {
        MassSegmentModel segments;
        int laterNames = 0; // model names resolved by a landmark name other than the first
    };

    QString name;  // short and unique: for menus, --profile and files ("ipi", "cmu")
    QString title; // for people ("iPi Studio")
    PoseConvention convention;
    LengthUnit unit = LengthUnit::centimetres();
    QStringList prefixes; // taken off joint names before they are compared ("mixamorig:")
    Qt::CaseSensitivity nameCase = Qt::CaseSensitive;
    QList<Landmark> landmarks;
    QStringList skeletonJoints; // the joint names of the family's skeletons, to tell them apart
    // Joint names are concepts of `landmarks` or joint names of the family.
    MassSegmentModel segments;

    // The model for one skeleton: `segments` with every name replaced by the joint name the
    // skeleton has for it (a concept's first name found, with the skeleton's own spelling and
    // prefix). A name the skeleton lacks stays as the profile gives it, so it binds nowhere.
    FittedModel fit(const QList<BvhJoint*>& joints) const;
    // The skeleton's joint name for a landmark ("left ankle"), as fit() finds it; empty when
    // the skeleton has none.
    QString jointNameFor(const QString& landmark, const QList<BvhJoint*>& joints) const;
    // The index in `joints` of the joint jointNameFor names, found as a model's names are bound
    // ("Joint/End Site" included); -1 when the skeleton has none.
    int jointIndexFor(const QString& landmark, const QList<BvhJoint*>& joints) const;
    // How many joints of a skeleton (End Sites aside) bear a name this profile knows, from
    // skeletonJoints or its landmarks' first names: between profiles that fit a skeleton's model
    // alike, the one knowing more of its names is its family.
    int recognisedJoints(const QList<BvhJoint*>& joints) const;
};
