#pragma once

#include <QMatrix4x4>
#include <QString>

class Material;
class Mesh;

// One drawable item of the scene: a shared mesh placed by a local transform (relative to the
// world; the scene is flat) and shaded with a shared material. Placing a node only changes
// its transform, material and visibility, never geometry. A hidden node is not drawn at all.
class SceneNode
{
public:
    SceneNode(const QString& name, const Mesh* mesh) : name(name), mesh(mesh) {}

    QString getName() const { return name; }
    const Mesh* getMesh() const { return mesh; }
    const QMatrix4x4& getLocalTransform() const { return localTransform; }
    void setLocalTransform(const QMatrix4x4& transform) { localTransform = transform; }
    const Material* getMaterial() const { return material; }
    void setMaterial(const Material* newMaterial) { material = newMaterial; }
    bool isVisible() const { return visible; }
    void setVisible(bool isVisible) { visible = isVisible; }

private:
    QString name;
    const Mesh* mesh;
    QMatrix4x4 localTransform;
    const Material* material = nullptr;
    bool visible = false;
};
