#include "views/view3d/SceneRendererGL.h"

#include "platform/raster/SoftwareDevice.h"
#include "texture/FixedFunctionPipeline.h"
#include "texture/PhotoTexture.h"

#include <QImage>
#include <algorithm>
#include <cstddef>
#include <cstring>

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
    glGenVertexArrays(1, &m_vao);
    glGenBuffers(1, &m_vbo);
    glGenBuffers(1, &m_ebo);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ebo);
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
    glBindVertexArray(0);
    for (StageTexture& stage : m_stages) {
        glGenTextures(1, &stage.id);
        glBindTexture(GL_TEXTURE_2D, stage.id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    m_initialized = true;
    return true;
}

bool SceneRendererGL::BuildProgram() {
    auto compile = [this](GLenum type, const char* source) -> GLuint {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[512] = {};
            glGetShaderInfoLog(shader, sizeof log, nullptr, log);
            m_error = QStringLiteral("The 3D view's shader does not compile: %1")
                          .arg(QString::fromLatin1(log));
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    };
    const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fragment = vertex ? compile(GL_FRAGMENT_SHADER, kFragmentShader) : 0;
    if (!fragment) {
        glDeleteShader(vertex);
        return false;
    }
    m_program = glCreateProgram();
    glAttachShader(m_program, vertex);
    glAttachShader(m_program, fragment);
    glLinkProgram(m_program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = 0;
    glGetProgramiv(m_program, GL_LINK_STATUS, &linked);
    if (!linked) {
        m_error = QStringLiteral("The 3D view's shaders do not link.");
        return false;
    }
    m_uWorld = glGetUniformLocation(m_program, "world");
    m_uViewProjection = glGetUniformLocation(m_program, "viewProjection");
    m_uLighting = glGetUniformLocation(m_program, "lighting");
    m_uWireframe = glGetUniformLocation(m_program, "wireframe");
    glUseProgram(m_program);
    glUniform1i(glGetUniformLocation(m_program, "front"), 0);
    glUniform1i(glGetUniformLocation(m_program, "side"), 1);
    glUniform1f(glGetUniformLocation(m_program, "ambient"), kAmbientLevel);
    glUseProgram(0);
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
        glDeleteTextures(1, &stage.id);
        stage = {};
    }
    glDeleteBuffers(1, &m_vbo);
    glDeleteBuffers(1, &m_ebo);
    glDeleteVertexArrays(1, &m_vao);
    glDeleteProgram(m_program);
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
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_vertices.size() * sizeof(HeadVertex)),
                 m_vertices.data(), GL_DYNAMIC_DRAW);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(m_indices.size() * sizeof(uint32_t)), m_indices.data(),
                 GL_DYNAMIC_DRAW);
    glBindVertexArray(0);
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
        glBindTexture(GL_TEXTURE_2D, stage.id);
        UploadChangedRows(*texture, *changed);
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
    glBindTexture(GL_TEXTURE_2D, stage.id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(pitch / 4));
    // Row 0 of the texture goes first, so texture coordinate v = 0 is its top row as it is for
    // the software pipeline.
    if (width == stage.width && height == stage.height) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                        texels);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, texels);
        stage.width = width;
        stage.height = height;
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void SceneRendererGL::UploadChangedRows(const Texture& texture, const std::vector<RowSpan>& rows) {
    constexpr uint32_t kBand = 32;
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
    glUseProgram(m_program);
    glUniformMatrix4fv(m_uWorld, 1, GL_FALSE, &state.world.m[0][0]);
    glUniformMatrix4fv(m_uViewProjection, 1, GL_FALSE, &state.viewProjectionGL.m[0][0]);
    glUniform1i(m_uLighting, state.lighting && !state.wireframe ? 1 : 0);
    glUniform1i(m_uWireframe, state.wireframe ? 1 : 0);
    for (int s = 0; s < 2; ++s) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
        glBindTexture(GL_TEXTURE_2D, m_stages[s].id);
    }
    glBindVertexArray(m_vao);
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
    glBindVertexArray(0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glActiveTexture(GL_TEXTURE0);
    glUseProgram(0);
}

} // namespace vm
