#include "scenerenderer.h"

#include "view/mesh.h"
#include "view/orbitcamera.h"
#include "view/skeletonscene.h"

#include <QDebug>
#include <QOpenGLContext>

// Written in the language subset shared by GLSL 1.20 and GLSL ES 1.00, so the one source
// builds on desktop compatibility contexts (Mesa's included) and on OpenGL ES; the version
// line is chosen at run time.
static const char vertexSource[] = R"(
attribute vec3 vertexPosition;
attribute vec3 vertexNormal;
uniform mat4 modelViewMatrix;
uniform mat4 projectionMatrix;
uniform mat3 normalMatrix;
varying vec3 viewPosition;
varying vec3 viewNormal;
void main()
{
    vec4 position = modelViewMatrix * vec4(vertexPosition, 1.0);
    viewPosition = position.xyz;
    viewNormal = normalMatrix * vertexNormal;
    gl_Position = projectionMatrix * position;
}
)";

// One directional light in eye space, up and to the left of the eye, so the side of a sphere
// or bone facing the viewer is bright, its rim darker and a small highlight shows its shape.
// The bones are open tubes: a face seen from behind is lit as if turned towards the viewer.
static const char fragmentSource[] = R"(
uniform vec4 colour;
uniform float lit;
varying vec3 viewPosition;
varying vec3 viewNormal;
void main()
{
    if (lit < 0.5) {
        gl_FragColor = colour;
        return;
    }
    vec3 normal = normalize(viewNormal);
    if (!gl_FrontFacing)
        normal = -normal;
    vec3 light = normalize(vec3(-0.3, 0.4, 1.0));
    vec3 toEye = normalize(-viewPosition);
    float diffuse = max(dot(normal, light), 0.0);
    float specular = 0.0;
    if (diffuse > 0.0)
        specular = pow(max(dot(normal, normalize(light + toEye)), 0.0), 32.0);
    gl_FragColor = vec4(colour.rgb * (0.2 + 0.8 * diffuse) + vec3(0.3 * specular), colour.a);
}
)";

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer() = default;

bool SceneRenderer::initialize(const SkeletonScene& scene)
{
    initializeOpenGLFunctions();
    ready = buildProgram();
    if (!ready)
        return false;
    upload(meshes[SphereMesh], scene.getSphereMesh());
    upload(meshes[CylinderMesh], scene.getCylinderMesh());
    upload(meshes[GridMesh], scene.getGridMesh());
    return true;
}

bool SceneRenderer::buildProgram()
{
    const bool es = QOpenGLContext::currentContext()->isOpenGLES();
    const QByteArray header = es ? "#version 100\nprecision highp float;\n" : "#version 120\n";
    program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, header + vertexSource) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, header + fragmentSource) ||
        !program->link()) {
        qWarning() << "SceneRenderer: the shader program does not build:" << program->log();
        program.reset();
        return false;
    }
    positionLocation = program->attributeLocation("vertexPosition");
    normalLocation = program->attributeLocation("vertexNormal");
    modelViewLocation = program->uniformLocation("modelViewMatrix");
    projectionLocation = program->uniformLocation("projectionMatrix");
    normalMatrixLocation = program->uniformLocation("normalMatrix");
    colourLocation = program->uniformLocation("colour");
    litLocation = program->uniformLocation("lit");
    return true;
}

void SceneRenderer::upload(MeshBuffer& target, const Mesh& mesh)
{
    target.mesh = &mesh;
    target.buffer.create();
    target.buffer.bind();
    target.buffer.allocate(mesh.getVertexData().data(),
                           int(mesh.getVertexData().size() * sizeof(float)));
    target.buffer.release();
    target.indexBuffer.create();
    target.indexBuffer.bind();
    target.indexBuffer.allocate(mesh.getIndices().data(),
                                int(mesh.getIndices().size() * sizeof(quint16)));
    target.indexBuffer.release();
    // Without vertex array objects (plain OpenGL 2 or ES 2) the attributes are set again
    // before each mesh is drawn.
    if (target.vertexArray.create()) {
        QOpenGLVertexArrayObject::Binder binder(&target.vertexArray);
        bindAttributes(target);
    }
}

void SceneRenderer::bindAttributes(MeshBuffer& target)
{
    target.buffer.bind();
    target.indexBuffer.bind();
    const int stride = Mesh::floatsPerVertex * int(sizeof(float));
    program->enableAttributeArray(positionLocation);
    program->setAttributeBuffer(positionLocation, GL_FLOAT, 0, 3, stride);
    // The linker drops the normal when nothing uses it; it is then not set.
    if (normalLocation >= 0) {
        program->enableAttributeArray(normalLocation);
        program->setAttributeBuffer(normalLocation, GL_FLOAT, 3 * int(sizeof(float)), 3, stride);
    }
}

void SceneRenderer::render(const SkeletonScene& scene, const OrbitCamera& camera,
                           const QSize& pixelSize, const QColor& background)
{
    glViewport(0, 0, pixelSize.width(), pixelSize.height());
    glClearColor(background.redF(), background.greenF(), background.blueF(), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!ready || pixelSize.isEmpty())
        return;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);

    program->bind();
    const float aspect = float(pixelSize.width()) / float(pixelSize.height());
    program->setUniformValue(projectionLocation, camera.projectionMatrix(aspect));
    const QMatrix4x4 view = camera.viewMatrix();

    // The grid first, so the skeleton is drawn over it where they meet.
    drawNodes(meshes[GridMesh], std::span(&scene.getGridNode(), 1), view);
    drawNodes(meshes[SphereMesh], scene.getSphereNodes(), view);
    drawNodes(meshes[CylinderMesh], scene.getCylinderNodes(), view);
    drawNodes(meshes[SphereMesh], scene.getOverlaySphereNodes(), view);
    drawNodes(meshes[CylinderMesh], scene.getOverlayCylinderNodes(), view);
    program->release();
    glDisable(GL_DEPTH_TEST);
}

void SceneRenderer::drawNodes(MeshBuffer& source, std::span<const SceneNode> nodes,
                              const QMatrix4x4& view)
{
    QOpenGLVertexArrayObject::Binder binder(&source.vertexArray);
    if (!source.vertexArray.isCreated())
        bindAttributes(source);
    const GLenum mode =
        source.mesh->getPrimitive() == Mesh::Primitive::Lines ? GL_LINES : GL_TRIANGLES;
    const int indexCount = source.mesh->getIndexCount();
    for (const SceneNode& node : nodes) {
        if (!node.isVisible() || !node.getMaterial())
            continue;
        const QMatrix4x4 modelView = view * node.getLocalTransform();
        program->setUniformValue(modelViewLocation, modelView);
        program->setUniformValue(normalMatrixLocation, modelView.normalMatrix());
        program->setUniformValue(colourLocation, node.getMaterial()->getColour());
        const bool lit = node.getMaterial()->getShading() == Material::Shading::Lit;
        program->setUniformValue(litLocation, lit ? 1.0f : 0.0f);
        glDrawElements(mode, indexCount, GL_UNSIGNED_SHORT, nullptr);
    }
}

void SceneRenderer::release()
{
    for (MeshBuffer& target : meshes) {
        target.vertexArray.destroy();
        target.buffer.destroy();
        target.indexBuffer.destroy();
        target.mesh = nullptr;
    }
    program.reset();
    ready = false;
}
