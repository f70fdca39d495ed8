// preview OUT_DIR: pictures of the embedded generic head drawn with the software rasteriser.
// - head_low.png, head_medium.png, head_high.png: the head at each level of detail (the
//   subdivision tables applied), from the front, the side and three-quarters;
// - features_front.png, features_side.png: the head as the front and side photos see it, with
//   the default feature points and segments over it;
// - head_ear.png: a close view of the ear at High detail, from the side and, standing off the
//   head, from nearly in front.
#include "document/HeadResources.h"
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"
#include "platform/raster/Rasterizer.h"

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <exception>

namespace {

using namespace vm;

constexpr float kScale = 0.62f; // picture pixels per model unit
constexpr int kCell = 330;      // picture width of one view
constexpr int kHeight = 460;
constexpr float kDegrees = 3.14159265f / 180.0f;

// A view of the head turned about the vertical axis: yaw 0 looks at the face, 90 at the
// left cheek with the nose pointing right, as the side photo shows it.
struct View {
    float yaw = 0;
    float scale = kScale; // picture pixels per model unit
    Vec3 centre{};        // model point drawn at the middle of the cell
    Vec3 Turn(const Vec3& p) const {
        const float c = std::cos(yaw * kDegrees), s = std::sin(yaw * kDegrees);
        return {p.x * c - p.z * s, p.y, p.x * s + p.z * c};
    }
    // Picture pixels of a model point, centred in a cell at cellX.
    RasterVertex Project(const Vec3& model, int cellX) const {
        const Vec3 p = Turn(model);
        const Vec3 c = Turn(centre);
        RasterVertex v;
        v.x = static_cast<float>(cellX) + kCell / 2.0f + (p.x - c.x) * scale;
        v.y = kHeight / 2.0f - (p.y - c.y) * scale;
        v.z = (p.z + 1000.0f) / 2000.0f;
        return v;
    }
};

Mesh WithNormals(Mesh mesh) {
    ComputeNormals(mesh, ComputeAdjacency(mesh, 0.01f));
    return mesh;
}

// Lambert with ambient, grey: a key light above left of the viewer and a weaker fill from the
// right, so that a profile facing right is not left in shadow.
uint32_t Shade(const float* n) {
    const Vec3 normal = Normalize({n[0], n[1], n[2]});
    static const Vec3 key = Normalize({-0.45f, 0.55f, -0.7f});
    static const Vec3 fill = Normalize({0.8f, 0.2f, -0.4f});
    const float light =
        0.2f + 0.62f * std::max(0.0f, Dot(normal, key)) + 0.3f * std::max(0.0f, Dot(normal, fill));
    const auto grey = static_cast<uint32_t>(std::lround(255 * std::min(1.0f, light)));
    return 0xFF000000u | grey << 16 | grey << 8 | grey;
}

void DrawHead(RenderTarget& target, const Mesh& mesh, const View& view, int cellX) {
    std::vector<RasterVertex> projected;
    projected.reserve(mesh.vertices.size());
    for (const HeadVertex& v : mesh.vertices) {
        RasterVertex r = view.Project(v.position, cellX);
        const Vec3 n = view.Turn(v.normal);
        r.varyings[0] = n.x;
        r.varyings[1] = n.y;
        r.varyings[2] = n.z;
        projected.push_back(r);
    }
    const RasterState state{DepthTest::LessEqual, true, CullMode::None, 3};
    for (size_t f = 0; f < mesh.FaceCount(); ++f) {
        DrawTriangle(target, state, projected[mesh.indices[3 * f]],
                     projected[mesh.indices[3 * f + 1]], projected[mesh.indices[3 * f + 2]], Shade);
    }
}

void Save(const QImage& image, const QString& path) {
    if (!image.save(path)) {
        throw MessageException(QStringLiteral("cannot write %1").arg(path));
    }
    std::printf("wrote %s\n", qPrintable(path));
}

// The left ear (x < 0), as the side photo sees it, a little behind its middle.
constexpr Vec3 kEarCentre{-200.0f, -40.0f, 75.0f};

void RenderEar(const Mesh& high, const QDir& out) {
    const View views[] = {{80, 1.5f, kEarCentre}, {20, 1.5f, kEarCentre}};
    // Each close view in a picture of its own, so that neither spills into the other.
    QImage picture(2 * kCell, kHeight, QImage::Format_RGB32);
    QPainter painter(&picture);
    for (int k = 0; k < 2; ++k) {
        RenderTarget target(kCell, kHeight);
        target.Clear(0xFFFFFFFF);
        DrawHead(target, high, views[k], 0);
        painter.drawImage(k * kCell, 0, target.ToImage());
    }
    painter.end();
    Save(picture, out.filePath(QStringLiteral("head_ear.png")));
}

void RenderLevels(const BaseMesh& base, const QDir& out) {
    const Mesh low = WithNormals(base.mesh);
    SubdivisionStage stage1, stage2;
    LoadSubdivisionStage(kStage1Resource, stage1, low.VertexCount());
    const Mesh medium = WithNormals(ApplySubdivisionStage(stage1, low));
    LoadSubdivisionStage(kStage2Resource, stage2, medium.VertexCount());
    const Mesh high = WithNormals(ApplySubdivisionStage(stage2, medium));
    RenderEar(high, out);
    const std::pair<const Mesh*, const char*> levels[] = {
        {&low, "head_low.png"}, {&medium, "head_medium.png"}, {&high, "head_high.png"}};
    const View views[] = {{0}, {90}, {35}};
    for (const auto& [mesh, name] : levels) {
        RenderTarget target(3 * kCell, kHeight);
        target.Clear(0xFFFFFFFF);
        for (int k = 0; k < 3; ++k) {
            DrawHead(target, *mesh, views[k], k * kCell);
        }
        Save(target.ToImage(), out.filePath(QString::fromLatin1(name)));
    }
}

// The feature outlines of one photo over the head as that photo sees it.
void RenderFeatures(const BaseMesh& base, const FeatureSet& set, PhotoIndex photo,
                    const QDir& out) {
    const Mesh low = WithNormals(base.mesh);
    const View view{photo == Front ? 0.0f : 90.0f};
    RenderTarget target(kCell + 40, kHeight);
    target.Clear(0xFFFFFFFF);
    DrawHead(target, low, view, 20);
    QImage image = target.ToImage();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    auto place = [&](uint32_t vertex) {
        const RasterVertex r = view.Project(low.vertices.at(vertex).position, 20);
        return QPointF(r.x, r.y);
    };
    const auto& points = set.points[photo];
    const auto& features = set.features[photo];
    for (size_t j = 0; j < features.size(); ++j) {
        const QColor colour =
            QColor::fromHsv(static_cast<int>(j * 360 / features.size()), 220, 200);
        painter.setPen(QPen(colour, 1.6));
        for (const auto& [a, b] : features[j].segments) {
            painter.drawLine(place(points.at(static_cast<size_t>(a)).vertexIndex),
                             place(points.at(static_cast<size_t>(b)).vertexIndex));
        }
    }
    for (const FeaturePoint& point : points) {
        const double radius = point.level == 0 ? 3.2 : 2.0;
        painter.setPen(QPen(Qt::black, 0.8));
        painter.setBrush(point.level == 0 ? QColor(255, 230, 0) : QColor(255, 255, 255));
        painter.drawEllipse(place(point.vertexIndex), radius, radius);
    }
    painter.end();
    Save(image, out.filePath(photo == Front ? QStringLiteral("features_front.png")
                                            : QStringLiteral("features_side.png")));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: preview OUT_DIR\n");
        return 2;
    }
    try {
        QDir().mkpath(args[1]);
        const QDir out(args[1]);
        const BaseMesh base = LoadBaseMesh();
        const FeatureSet set = LoadDefaultFeatureSet();
        RenderLevels(base, out);
        RenderFeatures(base, set, Front, out);
        RenderFeatures(base, set, Side, out);
    } catch (const VisomorfException& e) {
        std::fprintf(stderr, "preview: %s\n", qPrintable(e.Message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "preview: %s\n", e.what());
        return 1;
    }
    return 0;
}
