#pragma once

#include <QString>
#include <QStringList>

class BvhJoint;

// How the tool windows name joints: as the file does, except that an End Site names its
// parent ("End Site (Head)"), so that the several End Sites of a skeleton can be told apart.
// Files written keep the names they have.
namespace JointNames {

QString shown(const BvhJoint& joint);
// shown() of every joint of the tree under `root`, in pre-order; empty for a null root.
QStringList shownNames(const BvhJoint* root);

} // namespace JointNames
