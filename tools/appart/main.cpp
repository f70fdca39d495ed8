// appart RESOURCE_DIR: the program's own pictures, drawn here so that every picture the windows
// show is ours and can be made again.
// - splash.jpg: the start-up picture, the generic head rendered with the software rasteriser;
// - visomorf.png: the application icon (256 x 256);
// - toolbar.png: the toolbar's eleven 16 x 15 button images side by side, in toolbar order;
// - desktop/visomorf-document.png: the icon of .vmf documents.
#include "document/HeadResources.h"
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"
#include "platform/raster/Rasterizer.h"

#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

using namespace vm;

constexpr float kDegrees = 3.14159265f / 180.0f;

struct Camera {
    float yaw;     // degrees about the vertical axis; 0 looks at the face
    float scale;   // picture pixels per model unit
    float centreX; // picture pixels of the model origin
    float centreY;
};

// Lambert with a warm key light and a cool fill, on a skin-like base.
uint32_t Shade(const float* n) {
    const Vec3 normal = Normalize({n[0], n[1], n[2]});
    static const Vec3 key = Normalize({-0.5f, 0.5f, -0.7f});
    static const Vec3 fill = Normalize({0.8f, 0.1f, -0.3f});
    const float k = std::max(0.0f, Dot(normal, key));
    const float f = std::max(0.0f, Dot(normal, fill));
    auto channel = [&](float base, float keyTint, float fillTint) {
        const float value = base * (0.18f + 0.7f * k * keyTint + 0.35f * f * fillTint);
        return static_cast<uint32_t>(std::lround(255 * std::clamp(value, 0.0f, 1.0f)));
    };
    return 0xFF000000u | channel(0.95f, 1.0f, 0.7f) << 16 | channel(0.8f, 0.95f, 0.85f) << 8 |
           channel(0.7f, 0.85f, 1.1f);
}

QImage RenderHead(const Mesh& mesh, const Camera& camera, QSize size, uint32_t background) {
    RenderTarget target(size.width(), size.height());
    target.Clear(background);
    const float c = std::cos(camera.yaw * kDegrees), s = std::sin(camera.yaw * kDegrees);
    std::vector<RasterVertex> projected;
    for (const HeadVertex& v : mesh.vertices) {
        const Vec3& p = v.position;
        RasterVertex r;
        r.x = camera.centreX + (p.x * c - p.z * s) * camera.scale;
        r.y = camera.centreY - p.y * camera.scale;
        r.z = (p.x * s + p.z * c + 1000.0f) / 2000.0f;
        r.varyings[0] = v.normal.x * c - v.normal.z * s;
        r.varyings[1] = v.normal.y;
        r.varyings[2] = v.normal.x * s + v.normal.z * c;
        projected.push_back(r);
    }
    const RasterState state{DepthTest::LessEqual, true, CullMode::None, 3};
    for (size_t f = 0; f < mesh.FaceCount(); ++f) {
        DrawTriangle(target, state, projected[mesh.indices[3 * f]],
                     projected[mesh.indices[3 * f + 1]], projected[mesh.indices[3 * f + 2]], Shade);
    }
    return target.ToImage();
}

Mesh MediumHead() {
    const BaseMesh base = LoadBaseMesh();
    Mesh low = base.mesh;
    ComputeNormals(low, ComputeAdjacency(low, 0.01f));
    SubdivisionStage stage1;
    LoadSubdivisionStage(kStage1Resource, stage1, low.VertexCount());
    Mesh medium = ApplySubdivisionStage(stage1, low);
    ComputeNormals(medium, ComputeAdjacency(medium, 0.01f));
    return medium;
}

// Where the head lies: its bounds in model units, to fit it into a picture.
void Bounds(const Mesh& mesh, Vec3& min, Vec3& max) {
    ComputeBoundingBox(mesh.vertices.data(), mesh.VertexCount(), min, max);
}

Camera Fit(const Mesh& mesh, float yaw, QRectF box) {
    Vec3 min, max;
    Bounds(mesh, min, max);
    const float height = max.y - min.y;
    const float scale = static_cast<float>(box.height()) / height;
    return {yaw, scale, static_cast<float>(box.center().x()) - (min.x + max.x) / 2 * scale,
            static_cast<float>(box.top()) + max.y * scale};
}

void Save(const QImage& image, const QString& path, int quality = -1) {
    if (!image.save(path, nullptr, quality)) {
        throw MessageException(QStringLiteral("cannot write %1").arg(path));
    }
    std::printf("wrote %s\n", qPrintable(path));
}

QImage Splash(const Mesh& head) {
    const QSize size(520, 320);
    QImage head3D = RenderHead(head, Fit(head, 32, QRectF(300, 28, 200, 270)), size, 0);
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(28, 44, 74));
    sky.setColorAt(1, QColor(10, 16, 30));
    painter.fillRect(picture.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 130, 190, 90), 1));
    for (int x = -320; x < size.width(); x += 24) {
        painter.drawLine(x, size.height(), x + 320, 0);
    }
    // The rendered head over the background: its empty pixels are transparent black.
    QImage alpha = head3D.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(alpha.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == 0) {
                line[x] = 0;
            }
        }
    }
    painter.drawImage(0, 0, alpha);
    painter.setPen(QColor(240, 244, 250));
    QFont title(QStringLiteral("DejaVu Sans"), 34, QFont::Bold);
    painter.setFont(title);
    painter.drawText(QRect(32, 60, 300, 70), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Visomorf"));
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
    painter.setPen(QColor(180, 198, 225));
    painter.drawText(QRect(34, 130, 280, 80), Qt::AlignLeft | Qt::TextWordWrap,
                     QStringLiteral("Two photographs in,\na textured 3D head out."));
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    painter.drawText(QRect(34, 270, 280, 30), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Version 1.0  \u00b7  Vendal"));
    painter.end();
    return picture;
}

QImage AppIcon(const Mesh& head, QColor base) {
    const QSize size(256, 256);
    QImage icon(size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    QLinearGradient fill(0, 0, 0, 256);
    fill.setColorAt(0, base.lighter(130));
    fill.setColorAt(1, base);
    painter.fillPath(tile, fill);
    QImage render = RenderHead(head, Fit(head, 35, QRectF(28, 26, 200, 206)), size, 0);
    QImage masked = render.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == 0) {
                line[x] = 0;
            }
        }
    }
    painter.drawImage(0, 0, masked);
    painter.end();
    return icon;
}

// The eleven toolbar images, drawn pixel-sharp on a transparent 16 x 15 cell each.
QImage Toolbar() {
    constexpr int w = 16, h = 15;
    QImage strip(11 * w, h, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    const QColor ink(32, 32, 32), paper(255, 255, 255), blue(40, 80, 170), yellow(235, 190, 60),
        green(40, 140, 60), red(190, 50, 40);
    auto cell = [&](int i) {
        p.resetTransform();
        p.translate(i * w, 0);
    };
    // New: a page with a folded corner.
    cell(0);
    p.setPen(ink);
    p.setBrush(paper);
    p.drawPolygon(QPolygon({{3, 1}, {10, 1}, {13, 4}, {13, 13}, {3, 13}}));
    p.drawLine(10, 1, 10, 4);
    p.drawLine(10, 4, 13, 4);
    // Open: a folder.
    cell(1);
    p.setBrush(yellow);
    p.drawPolygon(QPolygon({{1, 3}, {5, 3}, {6, 4}, {13, 4}, {13, 12}, {1, 12}}));
    p.setBrush(yellow.lighter(125));
    p.drawPolygon(QPolygon({{3, 7}, {15, 7}, {13, 12}, {1, 12}}));
    // Save: a disk.
    cell(2);
    p.setBrush(blue);
    p.drawRect(1, 1, 13, 12);
    p.setBrush(paper);
    p.drawRect(4, 1, 7, 5);
    p.fillRect(5, 9, 6, 4, QColor(200, 200, 210));
    // Undo and Redo: bent arrows.
    for (int k = 0; k < 2; ++k) {
        cell(3 + k);
        if (k == 1) {
            p.translate(w, 0);
            p.scale(-1, 1);
        }
        p.setPen(QPen(blue, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRect(4, 4, 9, 8), 90 * 16, -200 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawPolygon(QPolygon({{1, 5}, {6, 1}, {6, 9}}));
        p.setPen(ink);
    }
    // Box: a dotted frame with corner handles.
    cell(5);
    p.setPen(QPen(red, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(2, 2, 11, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    for (QPoint corner : {QPoint(1, 1), QPoint(12, 1), QPoint(1, 11), QPoint(12, 11)}) {
        p.drawRect(QRect(corner, QSize(3, 3)));
    }
    // Features: an outline through points.
    cell(6);
    p.setPen(green);
    p.setBrush(Qt::NoBrush);
    const QPolygon eye({{1, 7}, {4, 4}, {8, 3}, {12, 4}, {14, 7}, {11, 10}, {7, 11}, {3, 10}});
    p.drawPolygon(eye);
    p.setPen(ink);
    p.setBrush(yellow);
    for (QPoint point : {QPoint(1, 7), QPoint(8, 3), QPoint(14, 7), QPoint(7, 11)}) {
        p.drawRect(QRect(point - QPoint(1, 1), QSize(2, 2)));
    }
    // Fit Automatically: a face outline whose points a spark has placed.
    cell(7);
    p.setPen(ink);
    p.setBrush(paper);
    p.drawEllipse(1, 2, 9, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    for (QPoint point : {QPoint(3, 6), QPoint(7, 6), QPoint(5, 9), QPoint(5, 11)}) {
        p.drawRect(QRect(point - QPoint(1, 0), QSize(2, 2)));
    }
    p.setPen(QPen(yellow.darker(115), 1));
    p.drawLine(12, 0, 12, 6);
    p.drawLine(9, 3, 15, 3);
    p.drawLine(10, 1, 14, 5);
    p.drawLine(14, 1, 10, 5);
    // Less and More: points with a minus or a plus.
    for (int k = 0; k < 2; ++k) {
        cell(8 + k);
        p.setPen(ink);
        p.setBrush(yellow);
        p.drawRect(1, 2, 3, 3);
        p.drawRect(5, 8, 3, 3);
        p.setPen(QPen(k == 0 ? red : green, 2));
        p.drawLine(9, 4, 15, 4);
        if (k == 1) {
            p.drawLine(12, 1, 12, 7);
        }
    }
    // About: a question mark in a circle.
    cell(10);
    p.setPen(blue);
    p.setBrush(QColor(220, 230, 250));
    p.drawEllipse(1, 0, 13, 13);
    p.setPen(blue.darker(130));
    QFont font(QStringLiteral("DejaVu Sans"), 8, QFont::Bold);
    font.setPixelSize(10);
    p.setFont(font);
    p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
    p.end();
    return strip;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: appart RESOURCE_DIR\n");
        return 2;
    }
    try {
        const QDir out(args[1]);
        out.mkpath(QStringLiteral("desktop"));
        const Mesh head = MediumHead();
        Save(Splash(head), out.filePath(QStringLiteral("splash.jpg")), 90);
        Save(AppIcon(head, QColor(40, 70, 130)), out.filePath(QStringLiteral("visomorf.png")));
        Save(AppIcon(head, QColor(120, 120, 130)),
             out.filePath(QStringLiteral("desktop/visomorf-document.png")));
        Save(Toolbar(), out.filePath(QStringLiteral("toolbar.png")));
    } catch (const VisomorfException& e) {
        std::fprintf(stderr, "appart: %s\n", qPrintable(e.Message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "appart: %s\n", e.what());
        return 1;
    }
    return 0;
}
