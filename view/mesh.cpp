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

Mesh Mesh::sphere(float diameter, int subdivisionDepth)
{
    const int depth = std::clamp(subdivisionDepth, 2, 7);
    const int slices = 1 << depth;
    const int stacks = slices / 2;
    const float radius = diameter / 2;
    auto unitPoint = [&](int stack, int slice) {
        const float polar = float(M_PI) * float(stack) / float(stacks);
        const float azimuth = 2 * float(M_PI) * float(slice) / float(slices);
        return QVector3D(std::sin(polar) * std::cos(azimuth), std::cos(polar),
                         std::sin(polar) * std::sin(azimuth));
    };
    Mesh mesh(Primitive::Triangles);
    mesh.vertexData.reserve(size_t(stacks * slices * 6 * floatsPerVertex));
    for (int stack = 0; stack < stacks; ++stack) {
        for (int slice = 0; slice < slices; ++slice) {
            const QVector3D a = unitPoint(stack, slice);
            const QVector3D b = unitPoint(stack + 1, slice);
            const QVector3D c = unitPoint(stack + 1, slice + 1);
            const QVector3D d = unitPoint(stack, slice + 1);
            // Counter-clockwise seen from outside, as the renderer's two-sided lighting expects.
            // The quads at the poles degenerate into one triangle each; the other triangle has
            // zero area and is skipped.
            if (stack != stacks - 1) {
                for (const QVector3D& p : {a, c, b})
                    mesh.addVertex(p * radius, p);
            }
            if (stack != 0) {
                for (const QVector3D& p : {a, d, c})
                    mesh.addVertex(p * radius, p);
            }
        }
    }
    return mesh;
}

Mesh Mesh::cylinder(float topDiameter, float baseDiameter, float height, int slices, int layers)
{
    slices = std::max(slices, 3);
    layers = std::max(layers, 1);
    // A cone's side normal tilts by the slope of its side; for equal diameters it is radial.
    const float slope = (baseDiameter - topDiameter) / 2 / height;
    auto ring = [&](int layer, int slice, QVector3D* normal) {
        const float t = float(layer) / float(layers);
        const float radius = (baseDiameter + (topDiameter - baseDiameter) * t) / 2;
        const float angle = 2 * float(M_PI) * float(slice) / float(slices);
        const float x = std::cos(angle);
        const float y = std::sin(angle);
        *normal = QVector3D(x, y, slope).normalized();
        return QVector3D(radius * x, radius * y, height * (t - 0.5f));
    };
    Mesh mesh(Primitive::Triangles);
    mesh.vertexData.reserve(size_t(layers * slices * 6 * floatsPerVertex));
    for (int layer = 0; layer < layers; ++layer) {
        for (int slice = 0; slice < slices; ++slice) {
            QVector3D na, nb, nc, nd;
            const QVector3D a = ring(layer, slice, &na);
            const QVector3D b = ring(layer, slice + 1, &nb);
            const QVector3D c = ring(layer + 1, slice + 1, &nc);
            const QVector3D d = ring(layer + 1, slice, &nd);
            mesh.addVertex(a, na);
            mesh.addVertex(b, nb);
            mesh.addVertex(c, nc);
            mesh.addVertex(a, na);
            mesh.addVertex(c, nc);
            mesh.addVertex(d, nd);
        }
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
    return mesh;
}
