#include "bvhmathobject.h"

#include "model/bvhjoint.h"

BvhMathObject::BvhMathObject()
{
    readMassSegments(MassSegmentFile::defaultModelFile());
    userModel = false;
}

void BvhMathObject::setBvhFile(BvhFile* file)
{
    bvhFile = file;
    bind();
}

void BvhMathObject::setSegments(const MassSegmentModel& newSegments)
{
    segments = newSegments;
    userModel = true;
    bind();
}

void BvhMathObject::setProfileModel(const MassSegmentModel& newSegments)
{
    segments = newSegments;
    userModel = false;
    bind();
}

MassSegmentReadResult BvhMathObject::readMassSegments(const QString& fileName)
{
    const MassSegmentReadResult result = MassSegmentFile::read(fileName);
    if (result.ok)
        setSegments(result.segments);
    return result;
}

WriteResult BvhMathObject::writeMassSegments(const QString& fileName) const
{
    return MassSegmentFile::write(fileName, segments);
}

void BvhMathObject::bind()
{
    const bool loaded = bvhFile && bvhFile->root;
    binding =
        SegmentBinding::bind(segments, loaded ? bvhFile->root->getAllJoints() : QList<BvhJoint*>());
}

const CentresOfMass& BvhMathObject::computeCentres(std::span<const Vector3f> jointPositions)
{
    CentreOfMass::compute(segments, binding, jointPositions, centres);
    return centres;
}
