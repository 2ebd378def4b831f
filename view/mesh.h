#pragma once

#include <QVector3D>

#include <vector>

// Geometry of one shape, built on the CPU and knowing nothing of GL state: vertex records
// (position x, y, z, then normal x, y, z) and indices into them, three per triangle or two per
// line segment. Vertices are shared between the triangles that meet at them, which keeps the
// vertex work of a software renderer small. The renderer uploads each mesh once; the scene
// shares one mesh between all nodes of that shape and moves them with transforms.
class Mesh
{
public:
    enum class Primitive
    {
        Triangles,
        Lines
    };

    static constexpr int floatsPerVertex = 6;

    // A sphere centred on the origin. Depth d gives 2^d slices around the y axis and 2^(d-1)
    // stacks from pole to pole; depth is clamped to 2..7.
    static Mesh sphere(float diameter, int subdivisionDepth);
    // An open tube along the z axis, centred on the origin, from z = -height/2 (base) to
    // +height/2 (top), with smooth radial normals; `layers` rings of quads along its length.
    static Mesh cylinder(float topDiameter, float baseDiameter, float height, int slices,
                         int layers);
    // Lines on the plane y = 0 at every integer x and z from -halfLines to +halfLines, so a
    // uniform scale by the spacing gives a grid of that spacing.
    static Mesh grid(int halfLines);

    Primitive getPrimitive() const { return primitive; }
    const std::vector<float>& getVertexData() const { return vertexData; }
    // 16-bit, as every OpenGL and OpenGL ES version can draw them.
    const std::vector<quint16>& getIndices() const { return indices; }
    int getVertexCount() const { return int(vertexData.size()) / floatsPerVertex; }
    int getIndexCount() const { return int(indices.size()); }
    QVector3D getPosition(int vertex) const;
    QVector3D getNormal(int vertex) const;

private:
    explicit Mesh(Primitive kind) : primitive(kind) {}
    void addVertex(const QVector3D& position, const QVector3D& normal);
    // Two triangles over the quad of a (rows + 1) x (columns + 1) vertex lattice whose corner
    // is vertex `corner`, counter-clockwise when seen with rows going up and columns going
    // right; a triangle with two equal corners is left out.
    void addQuad(int corner, int columns, bool skipFirst, bool skipSecond);

    Primitive primitive;
    std::vector<float> vertexData;
    std::vector<quint16> indices;
};
