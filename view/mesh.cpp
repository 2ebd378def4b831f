#include "mesh.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

QVector3D Mesh::getPosition(int vertex) const
{
    const float* v = vertexData.data() + size_t(vertex) * floatsPerVertex;
    return QVector3D(v[0], v[1], v[2]);
}

QVector3D Mesh::getNormal(int vertex) const
{
    const float* v = vertexData.data() + size_t(vertex) * floatsPerVertex + 3;
    return QVector3D(v[0], v[1], v[2]);
}

void Mesh::addVertex(const QVector3D& position, const QVector3D& normal)
{
    vertexData.insert(vertexData.end(), {position.x(), position.y(), position.z(), normal.x(),
                                         normal.y(), normal.z()});
}

void Mesh::addQuad(int corner, int columns, bool skipFirst, bool skipSecond)
{
    const int stride = columns + 1;
    const auto a = quint16(corner);
    const auto b = quint16(corner + 1);
    const auto c = quint16(corner + 1 + stride);
    const auto d = quint16(corner + stride);
    if (!skipFirst)
        indices.insert(indices.end(), {a, b, c});
    if (!skipSecond)
        indices.insert(indices.end(), {a, c, d});
}

Mesh Mesh::sphere(float diameter, int subdivisionDepth)
{
    const int depth = std::clamp(subdivisionDepth, 2, 7);
    const int slices = 1 << depth;
    const int stacks = slices / 2;
    const float radius = diameter / 2;
    Mesh mesh(Primitive::Triangles);
    // One ring of slices + 1 vertices per stack boundary, from the south pole up; the seam
    // repeats its first vertex so the lattice stays regular.
    mesh.vertexData.reserve(size_t((stacks + 1) * (slices + 1) * floatsPerVertex));
    for (int stack = 0; stack <= stacks; ++stack) {
        const float polar = float(M_PI) * float(stacks - stack) / float(stacks);
        for (int slice = 0; slice <= slices; ++slice) {
            // Going round towards -z keeps the lattice counter-clockwise seen from outside.
            const float azimuth = -2 * float(M_PI) * float(slice) / float(slices);
            const QVector3D unit(std::sin(polar) * std::cos(azimuth), std::cos(polar),
                                 std::sin(polar) * std::sin(azimuth));
            mesh.addVertex(unit * radius, unit);
        }
    }
    // The quads at the poles degenerate into one triangle each.
    mesh.indices.reserve(size_t(stacks * slices * 6));
    for (int stack = 0; stack < stacks; ++stack) {
        for (int slice = 0; slice < slices; ++slice)
            mesh.addQuad(stack * (slices + 1) + slice, slices, stack == 0, stack == stacks - 1);
    }
    return mesh;
}

Mesh Mesh::cylinder(float topDiameter, float baseDiameter, float height, int slices, int layers)
{
    slices = std::max(slices, 3);
    layers = std::max(layers, 1);
    // A cone's side normal tilts by the slope of its side; for equal diameters it is radial.
    const float slope = (baseDiameter - topDiameter) / 2 / height;
    Mesh mesh(Primitive::Triangles);
    mesh.vertexData.reserve(size_t((layers + 1) * (slices + 1) * floatsPerVertex));
    for (int layer = 0; layer <= layers; ++layer) {
        const float t = float(layer) / float(layers);
        const float radius = (baseDiameter + (topDiameter - baseDiameter) * t) / 2;
        for (int slice = 0; slice <= slices; ++slice) {
            const float angle = 2 * float(M_PI) * float(slice) / float(slices);
            const float x = std::cos(angle);
            const float y = std::sin(angle);
            mesh.addVertex(QVector3D(radius * x, radius * y, height * (t - 0.5f)),
                           QVector3D(x, y, slope).normalized());
        }
    }
    mesh.indices.reserve(size_t(layers * slices * 6));
    for (int layer = 0; layer < layers; ++layer) {
        for (int slice = 0; slice < slices; ++slice)
            mesh.addQuad(layer * (slices + 1) + slice, slices, false, false);
    }
    return mesh;
}

Mesh Mesh::grid(int halfLines)
{
    halfLines = std::max(halfLines, 1);
    const float extent = float(halfLines);
    const QVector3D up(0, 1, 0);
    Mesh mesh(Primitive::Lines);
    mesh.vertexData.reserve(size_t((2 * halfLines + 1) * 4 * floatsPerVertex));
    for (int i = -halfLines; i <= halfLines; ++i) {
        mesh.addVertex(QVector3D(float(i), 0, -extent), up);
        mesh.addVertex(QVector3D(float(i), 0, extent), up);
        mesh.addVertex(QVector3D(-extent, 0, float(i)), up);
        mesh.addVertex(QVector3D(extent, 0, float(i)), up);
    }
    for (int v = 0; v < mesh.getVertexCount(); ++v)
        mesh.indices.push_back(quint16(v));
    return mesh;
}
