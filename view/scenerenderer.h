#pragma once

#include <QColor>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QSize>

#include <array>
#include <memory>
#include <span>

class Mesh;
class OrbitCamera;
class SceneNode;
class SkeletonScene;

// The GL side of the scene: one vertex buffer per mesh, uploaded once, and one shader that
// lights surfaces with a light above and to the left of the eye. All calls need the owner's
// context to be current; release() must run while it still is.
class SceneRenderer : protected QOpenGLFunctions
{
public:
    SceneRenderer();
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Compiles the shader and uploads the scene's meshes. False, with a diagnostic, when the
    // shader does not build; render() then draws only the background.
    bool initialize(const SkeletonScene& scene);
    void render(const SkeletonScene& scene, const OrbitCamera& camera, const QSize& pixelSize,
                const QColor& background);
    void release();

private:
    struct MeshBuffer
    {
        const Mesh* mesh = nullptr;
        QOpenGLBuffer buffer{QOpenGLBuffer::VertexBuffer};
        QOpenGLBuffer indexBuffer{QOpenGLBuffer::IndexBuffer};
        QOpenGLVertexArrayObject vertexArray;
    };

    enum MeshIndex
    {
        SphereMesh,
        CylinderMesh,
        GridMesh,
        MeshCount
    };

    bool buildProgram();
    void upload(MeshBuffer& target, const Mesh& mesh);
    void bindAttributes(MeshBuffer& target);
    void drawNodes(MeshBuffer& source, std::span<const SceneNode> nodes, const QMatrix4x4& view);

    // Made anew with each context: GL objects belong to the context they were created in.
    std::unique_ptr<QOpenGLShaderProgram> program;
    std::array<MeshBuffer, MeshCount> meshes;
    bool ready = false;
    int positionLocation = -1;
    int normalLocation = -1;
    int modelViewLocation = -1;
    int projectionLocation = -1;
    int normalMatrixLocation = -1;
    int colourLocation = -1;
    int litLocation = -1;
};
