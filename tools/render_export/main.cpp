// render_export HEAD.obj OUT.png [VIEW_SIZE]: draws an exported head (the OBJ, the texture its
// MTL names) from the front, at three quarters and from the side, as one picture. It reads the
// files the way any other program would, so it shows what an export hands on.
#include "platform/core/VMath.h"
#include "platform/raster/Rasterizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace {

struct ObjMesh {
    std::vector<vm::Vec3> positions;       // model units
    std::vector<vm::Vec2> uvs;             // texture coordinates, v = 0 at the bottom
    std::vector<std::array<int, 6>> faces; // (position, uv) per corner, 0-based
    QString textureName;
};

std::optional<ObjMesh> ReadObj(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    ObjMesh mesh;
    QString mtlName;
    while (!file.atEnd()) {
        const QList<QByteArray> parts = file.readLine().trimmed().split(' ');
        if (parts[0] == "v" && parts.size() >= 4) {
            mesh.positions.push_back({parts[1].toFloat(), parts[2].toFloat(), parts[3].toFloat()});
        } else if (parts[0] == "vt" && parts.size() >= 3) {
            mesh.uvs.push_back({parts[1].toFloat(), parts[2].toFloat()});
        } else if (parts[0] == "f" && parts.size() == 4) {
            std::array<int, 6> face{};
            for (int c = 0; c < 3; ++c) {
                const QList<QByteArray> ids = parts[c + 1].split('/');
                face[c * 2] = ids[0].toInt() - 1;
                face[c * 2 + 1] = ids.size() > 1 ? ids[1].toInt() - 1 : face[c * 2];
            }
            mesh.faces.push_back(face);
        } else if (parts[0] == "mtllib" && parts.size() >= 2) {
            mtlName = QString::fromLocal8Bit(parts[1]);
        }
    }
    QFile mtl(QFileInfo(path).dir().filePath(mtlName));
    if (mtl.open(QIODevice::ReadOnly)) {
        while (!mtl.atEnd()) {
            const QByteArray line = mtl.readLine().trimmed();
            if (line.startsWith("map_Kd ")) {
                mesh.textureName =
                    QFileInfo(path).dir().filePath(QString::fromLocal8Bit(line.mid(7)));
            }
        }
    }
    return mesh;
}

// Smooth normals: face normals summed over every corner at the same position, so that texture
// seams do not show in the shading.
std::vector<vm::Vec3> PositionNormals(const ObjMesh& mesh) {
    std::map<std::tuple<float, float, float>, vm::Vec3> sums;
    auto key = [&](int i) {
        const vm::Vec3& p = mesh.positions[i];
        return std::make_tuple(p.x, p.y, p.z);
    };
    for (const auto& f : mesh.faces) {
        const vm::Vec3 n = vm::Cross(mesh.positions[f[2]] - mesh.positions[f[0]],
                                     mesh.positions[f[4]] - mesh.positions[f[0]]);
        for (int c = 0; c < 3; ++c) {
            sums[key(f[c * 2])] = sums[key(f[c * 2])] + n;
        }
    }
    std::vector<vm::Vec3> normals(mesh.positions.size());
    for (size_t i = 0; i < normals.size(); ++i) {
        normals[i] = vm::Normalize(sums[key(static_cast<int>(i))]);
    }
    return normals;
}

vm::Vec3 TurnY(const vm::Vec3& p, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {c * p.x + s * p.z, p.y, -s * p.x + c * p.z};
}

QImage RenderView(const ObjMesh& mesh, const std::vector<vm::Vec3>& normals, const QImage& texture,
                  float angle, int size) {
    const int width = size, height = size * 5 / 4;
    vm::RenderTarget target(width, height);
    target.Clear(0xFFFFFFFFu, 1.0f);
    vm::Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    std::vector<vm::Vec3> turned(mesh.positions.size());
    for (size_t i = 0; i < turned.size(); ++i) {
        turned[i] = TurnY(mesh.positions[i], angle);
        lo = {std::min(lo.x, turned[i].x), std::min(lo.y, turned[i].y),
              std::min(lo.z, turned[i].z)};
        hi = {std::max(hi.x, turned[i].x), std::max(hi.y, turned[i].y),
              std::max(hi.z, turned[i].z)};
    }
    const float scale = 0.9f * std::min(width / (hi.x - lo.x), height / (hi.y - lo.y));
    const vm::TextureView view{texture.constBits(), static_cast<size_t>(texture.bytesPerLine()),
                               static_cast<uint32_t>(texture.width()),
                               static_cast<uint32_t>(texture.height())};
    vm::RasterState state;
    state.varyingCount = 5;
    const vm::Vec3 light = vm::Normalize({-0.3f, 0.4f, -1.0f}); // towards the viewer, up left
    for (const auto& f : mesh.faces) {
        vm::RasterVertex corners[3];
        for (int c = 0; c < 3; ++c) {
            const vm::Vec3& p = turned[f[c * 2]];
            vm::RasterVertex& v = corners[c];
            v.x = width / 2.0f + (p.x - (lo.x + hi.x) / 2) * scale;
            v.y = height / 2.0f - (p.y - (lo.y + hi.y) / 2) * scale;
            v.z = (p.z - lo.z) / (hi.z - lo.z + 1e-6f);
            const vm::Vec2& uv = mesh.uvs[f[c * 2 + 1]];
            v.varyings[0] = uv.x;
            v.varyings[1] = 1.0f - uv.y; // rows run top down in the image
            const vm::Vec3 n = TurnY(normals[f[c * 2]], angle);
            v.varyings[2] = n.x, v.varyings[3] = n.y, v.varyings[4] = n.z;
        }
        vm::DrawTriangle(target, state, corners[0], corners[1], corners[2], [&](const float* v) {
            const uint32_t texel = vm::SampleBilinear(view, v[0], v[1]);
            const float facing = v[2] * light.x + v[3] * light.y + v[4] * light.z;
            const float lit = 0.45f + 0.55f * std::max(0.0f, facing);
            auto channel = [&](int shift) {
                return static_cast<uint32_t>(std::min(255.0f, ((texel >> shift) & 0xFF) * lit))
                       << shift;
            };
            return 0xFF000000u | channel(16) | channel(8) | channel(0);
        });
    }
    return target.ToImage();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        err << "Usage: render_export HEAD.obj OUT.png [VIEW_SIZE]\n";
        return 2;
    }
    QString error;
    const std::optional<ObjMesh> mesh = ReadObj(args[1], error);
    if (!mesh || mesh->faces.empty()) {
        err << args[1] << ": " << (error.isEmpty() ? QStringLiteral("no faces") : error) << "\n";
        return 1;
    }
    const QImage texture = QImage(mesh->textureName).convertToFormat(QImage::Format_ARGB32);
    if (texture.isNull()) {
        err << "cannot read the texture " << mesh->textureName << "\n";
        return 1;
    }
    const int size = args.size() > 3 ? args[3].toInt() : 320;
    const std::vector<vm::Vec3> normals = PositionNormals(*mesh);
    const float angles[] = {0.0f, 0.6f, 1.5708f};
    QImage sheet(size * 3, size * 5 / 4, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int i = 0; i < 3; ++i) {
        painter.drawImage(i * size, 0, RenderView(*mesh, normals, texture, angles[i], size));
    }
    painter.end();
    if (!sheet.save(args[2])) {
        err << args[2] << ": cannot write\n";
        return 1;
    }
    return 0;
}
