#include "views/view3d/SceneRendererGL.h"

#include "platform/raster/SoftwareDevice.h"
#include "texture/FixedFunctionPipeline.h"
#include "texture/PhotoTexture.h"

#include <QImage>
#include <QOpenGLPixelTransferOptions>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace vm {

namespace {

// Lighting happens per vertex (Gouraud) in world space: the world's light shines along +z.
const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec4 diffuse;
layout(location = 3) in vec2 frontUV;
layout(location = 4) in vec2 sideUV;
uniform mat4 world;
uniform mat4 viewProjection;
uniform bool lighting;
uniform float ambient;
out vec3 colour;
out vec2 frontTexel;
out vec2 sideTexel;
void main() {
    gl_Position = viewProjection * (world * vec4(position, 1.0));
    colour = diffuse.rgb;
    if (lighting) {
        vec3 n = mat3(world) * normal;
        float len = length(n);
        float cosine = len > 0.0 ? max(0.0, -n.z / len) : 0.0;
        colour = min(vec3(1.0), vec3(ambient) + diffuse.rgb * cosine);
    }
    frontTexel = frontUV;
    sideTexel = sideUV;
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec3 colour;
in vec2 frontTexel;
in vec2 sideTexel;
uniform sampler2D front;
uniform sampler2D side;
uniform bool wireframe;
out vec4 pixel;
void main() {
    if (wireframe) {
        pixel = vec4(0.0, 0.0, 0.0, 1.0);
        return;
    }
    vec4 s = texture(side, sideTexel);
    vec3 blended = mix(texture(front, frontTexel).rgb, s.rgb, s.a);
    pixel = vec4(blended * colour, 1.0);
}
)";

// Linear filtering without mipmaps, repeating, as the software pipeline samples.
std::unique_ptr<QOpenGLTexture> MakeStageTexture() {
    auto texture = std::make_unique<QOpenGLTexture>(QOpenGLTexture::Target2D);
    texture->create();
    texture->setMinMagFilters(QOpenGLTexture::Linear, QOpenGLTexture::Linear);
    texture->setWrapMode(QOpenGLTexture::Repeat);
    texture->setMipMaxLevel(0);
    return texture;
}

// Rows of texel words with the texture's pitch; row 0 of the texture goes first, so texture
// coordinate v = 0 is its top row as it is for the software pipeline.
QOpenGLPixelTransferOptions RowsOfWords(size_t pitch) {
    QOpenGLPixelTransferOptions options;
    options.setAlignment(4);
    options.setRowLength(static_cast<int>(pitch / 4));
    return options;
}

// ARGB words are the bytes blue, green, red, alpha.
constexpr auto kTexelFormat = QOpenGLTexture::BGRA;
constexpr auto kTexelType = QOpenGLTexture::UInt32_RGBA8_Rev;

} // namespace

SceneRendererGL::~SceneRendererGL() = default;

bool SceneRendererGL::Initialize() {
    if (!initializeOpenGLFunctions()) {
        m_error = QStringLiteral("OpenGL 3.3 core is not available.");
        return false;
    }
    if (!BuildProgram()) {
        return false;
    }
    m_vao.create();
    m_vertexBuffer.create();
    m_indexBuffer.create();
    m_vertexBuffer.setUsagePattern(QOpenGLBuffer::DynamicDraw);
    m_indexBuffer.setUsagePattern(QOpenGLBuffer::DynamicDraw);
    m_vao.bind();
    m_vertexBuffer.bind();
    m_indexBuffer.bind(); // the index buffer's binding belongs to the vertex array
    DescribeVertexLayout();
    m_vao.release();
    for (StageTexture& stage : m_stages) {
        stage.gl = MakeStageTexture();
    }
    m_initialized = true;
    return true;
}

void SceneRendererGL::DescribeVertexLayout() {
    const auto stride = static_cast<GLsizei>(sizeof(HeadVertex));
    auto offset = [](size_t bytes) { return reinterpret_cast<const void*>(bytes); };
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, offset(offsetof(HeadVertex, position)));
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, offset(offsetof(HeadVertex, normal)));
    // ARGB words are the bytes blue, green, red, alpha.
    glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          offset(offsetof(HeadVertex, diffuse)));
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, offset(offsetof(HeadVertex, frontUV)));
    glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, stride, offset(offsetof(HeadVertex, sideUV)));
    for (GLuint a = 0; a < 5; ++a) {
        glEnableVertexAttribArray(a);
    }
}

bool SceneRendererGL::BuildProgram() {
    m_program = std::make_unique<QOpenGLShaderProgram>();
    for (const auto& [type, source] : {std::pair{QOpenGLShader::Vertex, kVertexShader},
                                       std::pair{QOpenGLShader::Fragment, kFragmentShader}}) {
        if (!m_program->addShaderFromSourceCode(type, source)) {
            m_error =
                QStringLiteral("The 3D view's shader does not compile: %1").arg(m_program->log());
            return false;
        }
    }
    if (!m_program->link()) {
        m_error = QStringLiteral("The 3D view's shaders do not link.");
        return false;
    }
    m_uWorld = m_program->uniformLocation("world");
    m_uViewProjection = m_program->uniformLocation("viewProjection");
    m_uLighting = m_program->uniformLocation("lighting");
    m_uWireframe = m_program->uniformLocation("wireframe");
    m_program->bind();
    m_program->setUniformValue("front", GLint{0});
    m_program->setUniformValue("side", GLint{1});
    m_program->setUniformValue("ambient", GLfloat{kAmbientLevel});
    m_program->release();
    return true;
}

int SceneRendererGL::MaxTextureSize() {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

void SceneRendererGL::Release() {
    if (!m_initialized) {
        return;
    }
    for (StageTexture& stage : m_stages) {
        stage = {};
    }
    m_vertexBuffer.destroy();
    m_indexBuffer.destroy();
    m_vao.destroy();
    m_program.reset();
    m_vertices.clear();
    m_indices.clear();
    m_initialized = false;
}

void SceneRendererGL::UpdateMesh(const Mesh& mesh) {
    // Comparing is far cheaper than uploading and catches every change, however it was made.
    const bool same =
        mesh.vertices.size() == m_vertices.size() && mesh.indices.size() == m_indices.size() &&
        std::memcmp(mesh.vertices.data(), m_vertices.data(),
                    m_vertices.size() * sizeof(HeadVertex)) == 0 &&
        std::memcmp(mesh.indices.data(), m_indices.data(), m_indices.size() * sizeof(uint32_t)) ==
            0;
    if (same) {
        return;
    }
    m_vertices = mesh.vertices;
    m_indices = mesh.indices;
    m_vao.bind();
    m_vertexBuffer.bind();
    m_vertexBuffer.allocate(m_vertices.data(),
                            static_cast<int>(m_vertices.size() * sizeof(HeadVertex)));
    m_indexBuffer.bind();
    m_indexBuffer.allocate(m_indices.data(), static_cast<int>(m_indices.size() * sizeof(uint32_t)));
    m_vao.release();
    ++m_meshUploads;
}

void SceneRendererGL::UpdateTexture(int stageIndex, const std::shared_ptr<Texture>& texture) {
    StageTexture& stage = m_stages[stageIndex];
    if (!texture || texture->IsLocked()) {
        return;
    }
    if (texture == stage.source && texture->Revision() == stage.revision) {
        return;
    }
    const std::vector<RowSpan>* changed =
        texture == stage.source ? texture->ChangedSince(stage.revision) : nullptr;
    if (changed && texture->Format() == TextureFormat::A8R8G8B8) {
        UploadChangedRows(*stage.gl, *texture, *changed);
    } else {
        UploadTexels(stage, *texture);
    }
    stage.source = texture;
    stage.revision = texture->Revision();
    ++m_textureUploads;
}

void SceneRendererGL::UploadTexels(StageTexture& stage, const Texture& texture) {
    const int width = static_cast<int>(texture.Width()),
              height = static_cast<int>(texture.Height());
    QImage widened;
    const void* texels = texture.Bits();
    size_t pitch = texture.Pitch();
    if (texture.Format() != TextureFormat::A8R8G8B8) {
        widened = TextureToImage(texture).convertToFormat(QImage::Format_ARGB32);
        texels = widened.constBits();
        pitch = static_cast<size_t>(widened.bytesPerLine());
    }
    if (width != stage.gl->width() || height != stage.gl->height() ||
        !stage.gl->isStorageAllocated()) {
        stage.gl = MakeStageTexture();
        stage.gl->setSize(width, height);
        stage.gl->setFormat(QOpenGLTexture::RGBA8_UNorm);
        stage.gl->setMipLevels(1);
        stage.gl->allocateStorage(kTexelFormat, kTexelType);
    }
    const QOpenGLPixelTransferOptions rows = RowsOfWords(pitch);
    stage.gl->setData(0, 0, 0, width, height, 1, kTexelFormat, kTexelType, texels, &rows);
}

// A drag of the blend zone sends dozens of bands a step: they go straight to the bound texture,
// since QOpenGLTexture::setData saves and restores the binding and the pixel store per call,
// which costs about a twentieth of the step.
void SceneRendererGL::UploadChangedRows(QOpenGLTexture& target, const Texture& texture,
                                        const std::vector<RowSpan>& rows) {
    constexpr uint32_t kBand = 32;
    target.bind();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(texture.Pitch() / 4));
    for (uint32_t top = 0; top < rows.size(); top += kBand) {
        const uint32_t bottom = std::min<uint32_t>(top + kBand, static_cast<uint32_t>(rows.size()));
        RowSpan band{UINT32_MAX, 0};
        uint32_t first = bottom, last = top;
        for (uint32_t y = top; y < bottom; ++y) {
            if (rows[y].begin < rows[y].end) {
                band.begin = std::min(band.begin, rows[y].begin);
                band.end = std::max(band.end, rows[y].end);
                first = std::min(first, y);
                last = y + 1;
            }
        }
        if (band.begin >= band.end) {
            continue;
        }
        const uint8_t* start = texture.Row(first) + size_t{band.begin} * 4;
        glTexSubImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(band.begin), static_cast<GLint>(first),
                        static_cast<GLsizei>(band.end - band.begin),
                        static_cast<GLsizei>(last - first), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                        start);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void SceneRendererGL::SetViewport(int width, int height) {
    glViewport(0, 0, width, height);
}

void SceneRendererGL::Draw(const SceneDrawState& state) {
    glClearColor(1, 1, 1, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (m_indices.empty()) {
        return;
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, state.wireframe ? GL_LINE : GL_FILL);
    m_program->bind();
    m_program->setUniformValue(m_uWorld, state.world.m);
    m_program->setUniformValue(m_uViewProjection, state.viewProjectionGL.m);
    m_program->setUniformValue(m_uLighting, GLint{state.lighting && !state.wireframe ? 1 : 0});
    m_program->setUniformValue(m_uWireframe, GLint{state.wireframe ? 1 : 0});
    for (unsigned s = 0; s < 2; ++s) {
        m_stages[s].gl->bind(s);
    }
    m_vao.bind();
    const auto count = static_cast<GLsizei>(m_indices.size());
    if (state.wireframe) {
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
    } else {
        // Every triangle once, those facing the viewer first: the ones behind them then fail
        // the depth test before any texel is read. The picture is the same as one unculled
        // pass, at about half the shading cost of a closed head.
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW); // the head is wound clockwise as seen from outside
        glCullFace(GL_BACK);
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
        glCullFace(GL_FRONT);
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
        glDisable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
    }
    m_vao.release();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glActiveTexture(GL_TEXTURE0);
    m_program->release();
}

} // namespace vm
