#pragma once
// Draws the document's displayed mesh with OpenGL 3.3 core: shaders that reproduce the fixed-
// function picture (see texture/FixedFunctionPipeline.h), the mesh in buffers that are refilled
// only when the mesh changes, the photo textures uploaded only when they change.
#include "platform/core/VMath.h"
#include "platform/mesh/Mesh.h"
#include "platform/raster/SoftwareDevice.h"

#include <QOpenGLBuffer>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLPixelTransferOptions>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QOpenGLVertexArrayObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace vm {

struct SceneDrawState {
    Matrix world;            // row-vector, model to world
    Matrix viewProjectionGL; // row-vector, world to OpenGL clip space
    bool wireframe = false;
    bool lighting = false;
};

class SceneRendererGL : protected QOpenGLFunctions_3_3_Core {
public:
    SceneRendererGL() = default;
    ~SceneRendererGL();
    SceneRendererGL(const SceneRendererGL&) = delete;
    SceneRendererGL& operator=(const SceneRendererGL&) = delete;

    // Needs a current OpenGL 3.3 core context. False, with Error() saying why, when the
    // context cannot run the shaders.
    bool Initialize();
    const QString& Error() const { return m_error; }
    // GL_MAX_TEXTURE_SIZE of the current context.
    int MaxTextureSize();
    // Releases the GL objects; the context must be current.
    void Release();

    // Refills the buffers when the mesh differs from the one last uploaded.
    void UpdateMesh(const Mesh& mesh);
    // Uploads a texture when it is another object or has been changed since its last upload.
    // stage 0: front, 1: side.
    void UpdateTexture(int stage, const std::shared_ptr<Texture>& texture);
    // The framebuffer area to draw into, in device pixels.
    void SetViewport(int width, int height);
    // Clears to opaque white and draws the mesh.
    void Draw(const SceneDrawState& state);

    // How often the buffers and textures were filled, for tests of the upload rules.
    int MeshUploads() const { return m_meshUploads; }
    int TextureUploads() const { return m_textureUploads; }

private:
    struct StageTexture {
        // Remade when the size changes: storage, once allocated, keeps its size.
        std::unique_ptr<QOpenGLTexture> gl;
        std::shared_ptr<Texture> source; // kept so that a new texture cannot reuse its address
        uint64_t revision = 0;
    };
    bool BuildProgram();
    void DescribeVertexLayout();
    void UploadTexels(StageTexture& stage, const Texture& texture);
    // Sends only the changed spans, gathered into bands of rows (few calls, few bytes).
    void UploadChangedRows(QOpenGLTexture& target, const Texture& texture,
                           const std::vector<RowSpan>& rows);

    QString m_error;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    QOpenGLVertexArrayObject m_vao;
    QOpenGLBuffer m_vertexBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_indexBuffer{QOpenGLBuffer::IndexBuffer};
    int m_uWorld = -1, m_uViewProjection = -1, m_uLighting = -1, m_uWireframe = -1;
    StageTexture m_stages[2];
    std::vector<HeadVertex> m_vertices; // what the buffers hold
    std::vector<uint32_t> m_indices;
    int m_meshUploads = 0, m_textureUploads = 0;
    bool m_initialized = false;
};

} // namespace vm
