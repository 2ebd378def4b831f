#include "skeletonscene.h"

#include "model/roundstep.h"

#include <QQuaternion>

#include <algorithm>
#include <cmath>

static QVector3D toQVector(const Vector3f& v)
{
    return QVector3D(v.x(), v.y(), v.z());
}

SkeletonScene::SkeletonScene(float jointDiameter, float boneDiameter, int initialPoolSize)
    // Depth 4 (16 slices, 8 stacks) is smooth at the size joints are drawn and keeps a
    // 60-joint frame within a 60 Hz budget on a software renderer; depth 5 took twice as long.
    : sphereMesh(Mesh::sphere(jointDiameter, 4)),
      cylinderMesh(Mesh::cylinder(boneDiameter, boneDiameter, 1.0f, 6, 3)),
      gridMesh(Mesh::grid(gridHalfLines)), gridNode(QStringLiteral("grid"), &gridMesh)
{
    ensurePoolSizes(std::max(initialPoolSize, 1), std::max(initialPoolSize, 1));
    gridNode.setMaterial(&gridMaterial);
    gridNode.setVisible(true);
    setGridSpacing(gridSpacingFor(0));
}

void SkeletonScene::ensurePoolSizes(qsizetype spheres, qsizetype cylinders)
{
    // Grows by half again so that a skeleton a little larger than the last one does not grow
    // the pool on every load.
    if (qsizetype(sphereNodes.size()) < spheres) {
        sphereNodes.reserve(size_t(std::max(spheres, qsizetype(sphereNodes.size() * 3 / 2))));
        while (qsizetype(sphereNodes.size()) < spheres)
            sphereNodes.emplace_back(QStringLiteral("joint"), &sphereMesh);
    }
    if (qsizetype(cylinderNodes.size()) < cylinders) {
        cylinderNodes.reserve(size_t(std::max(cylinders, qsizetype(cylinderNodes.size() * 3 / 2))));
        while (qsizetype(cylinderNodes.size()) < cylinders)
            cylinderNodes.emplace_back(QStringLiteral("bone"), &cylinderMesh);
    }
}

void SkeletonScene::placeSphere(qsizetype index, const Vector3f& position, float scale,
                                const Material* material)
{
    QMatrix4x4 transform;
    transform.translate(toQVector(position));
    transform.scale(scale * markerScale);
    SceneNode& node = sphereNodes[size_t(index)];
    node.setLocalTransform(transform);
    node.setMaterial(material);
    node.setVisible(true);
}

void SkeletonScene::place(std::span<const Vector3f> jointPositions,
                          std::span<const int> parentIndices, qsizetype highlightedIndex,
                          std::span<const Vector3f> segmentCentres,
                          const std::optional<Vector3f>& bodyCentre)
{
    const qsizetype jointCount = qsizetype(jointPositions.size());
    const qsizetype sphereCount =
        jointCount + qsizetype(segmentCentres.size()) + (bodyCentre ? 1 : 0);
    ensurePoolSizes(sphereCount, jointCount);

    qsizetype sphere = 0;
    for (qsizetype i = 0; i < jointCount; ++i) {
        const bool highlighted = i == highlightedIndex;
        placeSphere(sphere++, jointPositions[size_t(i)],
                    highlighted ? highlightedJointScale : jointScale,
                    highlighted ? &yellowMaterial : &whiteMaterial);
    }
    for (const Vector3f& centre : segmentCentres)
        placeSphere(sphere++, centre, segmentCentreScale, &redMaterial);
    if (bodyCentre)
        placeSphere(sphere++, *bodyCentre, bodyCentreScale, &magentaMaterial);
    for (size_t i = size_t(sphere); i < sphereNodes.size(); ++i)
        sphereNodes[i].setVisible(false);

    // The cylinder mesh is one unit long on the z axis, centred on its origin: stretch it to
    // the bone's length, turn z onto the bone and move it to the bone's middle.
    size_t cylinder = 0;
    const QVector3D zAxis(0, 0, 1);
    for (qsizetype i = 0; i < jointCount && i < qsizetype(parentIndices.size()); ++i) {
        const int parent = parentIndices[size_t(i)];
        if (parent < 0 || parent >= jointCount)
            continue;
        const QVector3D start = toQVector(jointPositions[size_t(parent)]);
        const QVector3D bone = toQVector(jointPositions[size_t(i)]) - start;
        const float length = bone.length();
        // A joint on its parent's position has no direction to turn the bone to.
        if (!(length > 0) || !std::isfinite(length))
            continue;
        QMatrix4x4 transform;
        transform.translate(start + 0.5f * bone);
        transform.rotate(QQuaternion::rotationTo(zAxis, bone));
        transform.scale(markerScale, markerScale, length);
        SceneNode& node = cylinderNodes[cylinder++];
        node.setLocalTransform(transform);
        node.setMaterial(&whiteMaterial);
        node.setVisible(true);
    }
    for (size_t i = cylinder; i < cylinderNodes.size(); ++i)
        cylinderNodes[i].setVisible(false);
}

void SkeletonScene::placeLine(SceneNode& node, const Vector3f& start, const Vector3f& end,
                              float width, const Material* material) const
{
    const QVector3D from = toQVector(start);
    const QVector3D line = toQVector(end) - from;
    const float length = line.length();
    node.setVisible(length > 0 && std::isfinite(length));
    if (!node.isVisible())
        return;
    QMatrix4x4 transform;
    transform.translate(from + 0.5f * line);
    transform.rotate(QQuaternion::rotationTo(QVector3D(0, 0, 1), line));
    transform.scale(width * markerScale, width * markerScale, length);
    node.setLocalTransform(transform);
    node.setMaterial(material);
}

void SkeletonScene::placeFloorOverlay(const FloorOverlay& overlay, const Vector3f& lift)
{
    const size_t lines = overlay.trail.size() + overlay.support.size();
    while (overlayCylinders.size() < lines)
        overlayCylinders.emplace_back(QStringLiteral("floor line"), &cylinderMesh);
    while (overlaySpheres.size() < 2)
        overlaySpheres.emplace_back(QStringLiteral("floor point"), &sphereMesh);
    size_t line = 0;
    for (size_t i = 1; i < overlay.trail.size(); ++i)
        placeLine(overlayCylinders[line++], overlay.trail[i - 1] + lift, overlay.trail[i] + lift,
                  0.5f, &trailMaterial);
    const size_t corners = overlay.support.size();
    for (size_t i = 0; i < corners && corners >= 2; ++i)
        placeLine(overlayCylinders[line++], overlay.support[i] + lift,
                  overlay.support[(i + 1) % corners] + lift, 0.7f, &supportMaterial);
    for (size_t i = line; i < overlayCylinders.size(); ++i)
        overlayCylinders[i].setVisible(false);
    const std::optional<Vector3f> points[2] = {overlay.centre, overlay.extrapolatedCentre};
    const Material* materials[2] = {&magentaMaterial, &extrapolatedMaterial};
    for (size_t i = 0; i < 2; ++i) {
        overlaySpheres[i].setVisible(bool(points[i]));
        if (points[i]) {
            QMatrix4x4 transform;
            transform.translate(toQVector(*points[i] + lift));
            transform.scale(bodyCentreScale * markerScale);
            overlaySpheres[i].setLocalTransform(transform);
            overlaySpheres[i].setMaterial(materials[i]);
        }
    }
}

void SkeletonScene::hideSkeleton()
{
    for (SceneNode& node : sphereNodes)
        node.setVisible(false);
    for (SceneNode& node : cylinderNodes)
        node.setVisible(false);
}

void SkeletonScene::setGridSpacing(float spacing, float centreX, float centreZ)
{
    gridSpacing = spacing;
    QMatrix4x4 transform;
    if (spacing > 0 && std::isfinite(centreX) && std::isfinite(centreZ))
        transform.translate(std::round(centreX / spacing) * spacing, 0,
                            std::round(centreZ / spacing) * spacing);
    transform.scale(spacing);
    gridNode.setLocalTransform(transform);
}

void SkeletonScene::setMarkerScale(float scale)
{
    if (scale > 0 && std::isfinite(scale))
        markerScale = scale;
}

float SkeletonScene::gridSpacingFor(float skeletonReach)
{
    if (!(skeletonReach > 0) || !std::isfinite(skeletonReach))
        return 10.0f;
    return float(RoundStep::atMost(double(skeletonReach) / 4));
}
