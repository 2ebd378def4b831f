#pragma once

#include "model/vectortypes.h"
#include "view/material.h"
#include "view/mesh.h"
#include "view/scenenode.h"

#include <optional>
#include <span>
#include <vector>

// What the view draws on the floor about the centre of mass: each part left empty is not
// drawn. Points lie on the floor.
struct FloorOverlay
{
    std::optional<Vector3f> centre;             // the centre of mass's floor point
    std::vector<Vector3f> trail;                // where it was, oldest first
    std::optional<Vector3f> extrapolatedCentre; // Hof's XcoM
    std::vector<Vector3f> support;              // the base of support's corners, in order

    bool isEmpty() const
    {
        return !centre && trail.empty() && !extrapolatedCentre && support.empty();
    }
};

// Everything the 3D view draws, without any GL: one sphere node per joint and marker, one
// cylinder node per bone, and the ground grid. The meshes and materials are made once, in the
// constructor; place() only moves, scales, recolours, shows and hides nodes. The pools start
// at the given size and grow when a skeleton needs more nodes, so nothing placed is ever lost.
class SkeletonScene
{
public:
    // Uniform scales of the sphere mesh (diameter jointDiameter) for each kind of marker.
    static constexpr float jointScale = 2.0f;
    static constexpr float highlightedJointScale = 4.0f;
    static constexpr float segmentCentreScale = 2.0f;
    static constexpr float bodyCentreScale = 4.0f;
    // Lines of the ground grid on each side of the origin, along x and along z.
    static constexpr int gridHalfLines = 20;

    SkeletonScene(float jointDiameter, float boneDiameter, int initialPoolSize);
    SkeletonScene(const SkeletonScene&) = delete;
    SkeletonScene& operator=(const SkeletonScene&) = delete;

    // Shows the skeleton of one frame. Joint i is at jointPositions[i] and has the parent
    // parentIndices[i] (-1 for the root); joint highlightedIndex (-1 for none) is drawn
    // larger and yellow. Spheres go to the joints in order, then to the segment centres, then
    // to the body centre if there is one; a bone joins every joint to its parent unless the
    // two coincide. Nodes left over are hidden.
    void place(std::span<const Vector3f> jointPositions, std::span<const int> parentIndices,
               qsizetype highlightedIndex, std::span<const Vector3f> segmentCentres,
               const std::optional<Vector3f>& bodyCentre);
    // Hides every joint, bone and marker; the grid stays.
    void hideSkeleton();
    // Shows `overlay` on the floor, lifted by `lift` (the floor's up direction times a small
    // height) so that it is not hidden in the grid: points as flat markers, the trail and the
    // base of support as thin lines. Replaces the overlay shown before.
    void placeFloorOverlay(const FloorOverlay& overlay, const Vector3f& lift);

    // Distance between grid lines, and the point of the ground the grid is centred on (the
    // origin unless set; kept on a grid line so the lines stay where they were).
    void setGridSpacing(float spacing, float centreX = 0, float centreZ = 0);
    float getGridSpacing() const { return gridSpacing; }
    // Every joint, bone and marker is drawn this many times its size for a person of about
    // 1.8 m in centimetres, so that a skeleton of any size or unit looks the same.
    void setMarkerScale(float scale);
    float getMarkerScale() const { return markerScale; }
    // A round spacing (1, 2 or 5 times a power of ten) of about a quarter of `skeletonReach`,
    // the longest distance from the root to a joint along the bones of the rest pose.
    static float gridSpacingFor(float skeletonReach);

    const std::vector<SceneNode>& getSphereNodes() const { return sphereNodes; }
    const std::vector<SceneNode>& getCylinderNodes() const { return cylinderNodes; }
    const std::vector<SceneNode>& getOverlaySphereNodes() const { return overlaySpheres; }
    const std::vector<SceneNode>& getOverlayCylinderNodes() const { return overlayCylinders; }
    const SceneNode& getGridNode() const { return gridNode; }
    const Mesh& getSphereMesh() const { return sphereMesh; }
    const Mesh& getCylinderMesh() const { return cylinderMesh; }
    const Mesh& getGridMesh() const { return gridMesh; }

    const Material whiteMaterial{Qt::white};
    const Material redMaterial{Qt::red};
    const Material magentaMaterial{Qt::magenta};
    const Material yellowMaterial{Qt::yellow};
    const Material gridMaterial{QColor(96, 96, 104), Material::Shading::Flat};
    const Material trailMaterial{QColor(230, 120, 230), Material::Shading::Flat};
    const Material extrapolatedMaterial{QColor(40, 220, 90), Material::Shading::Flat};
    const Material supportMaterial{QColor(60, 200, 255), Material::Shading::Flat};

private:
    void placeSphere(qsizetype index, const Vector3f& position, float scale,
                     const Material* material);
    // Node `node` made a line of `width` marker scales from `start` to `end`, or hidden when
    // the two coincide.
    void placeLine(SceneNode& node, const Vector3f& start, const Vector3f& end, float width,
                   const Material* material) const;
    void ensurePoolSizes(qsizetype spheres, qsizetype cylinders);

    Mesh sphereMesh;
    Mesh cylinderMesh;
    Mesh gridMesh;
    std::vector<SceneNode> sphereNodes;
    std::vector<SceneNode> cylinderNodes;
    std::vector<SceneNode> overlaySpheres;
    std::vector<SceneNode> overlayCylinders;
    SceneNode gridNode;
    float gridSpacing = 0;
    float markerScale = 1;
};
