// headgen OUT_DIR [--preview DIR | --report]: builds the generic head and its default feature set
// from the construction in this folder and writes head.x and featureset.bin into OUT_DIR. The
// output is the same on every run.
#include "FeatureDesign.h"
#include "HeadFinal.h"
#include "Preview.h"
#include "document/FeatureSetBlock.h"
#include "platform/xfile/XFileWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <stdexcept>

using namespace vm;
using namespace vm::headgen;

namespace {

struct Generated {
    WeldedHead head;
    StoredHead stored;
    FeatureSet features;
};

std::vector<int> PointOrder(const DraftView& view, const StoredHead& stored) {
    const int count = static_cast<int>(view.vertex.size());
    std::vector<int> byVertex(count);
    for (int i = 0; i < count; ++i) {
        byVertex[i] = i;
    }
    std::sort(byVertex.begin(), byVertex.end(), [&](int a, int b) {
        return stored.storedOfWelded[view.vertex[a]] < stored.storedOfWelded[view.vertex[b]];
    });
    std::vector<int> order(count, -1);
    std::vector<bool> placed(count, false);
    for (const auto& [slot, welded] : view.fixedRows) {
        const auto it = std::find(view.vertex.begin(), view.vertex.end(), welded);
        if (slot >= count || it == view.vertex.end()) {
            throw std::runtime_error("feature set: a fixed point row has no point");
        }
        order[slot] = static_cast<int>(it - view.vertex.begin());
        placed[order[slot]] = true;
    }
    size_t next = 0;
    for (int& o : order) {
        if (o >= 0) {
            continue;
        }
        while (placed[byVertex[next]]) {
            ++next;
        }
        o = byVertex[next++];
    }
    return order;
}

FeatureSet StoreFeatureSet(const DraftFeatureSet& draft, const StoredHead& stored) {
    FeatureSet set;
    for (int photo = 0; photo < kPhotoCount; ++photo) {
        const DraftView& view = draft.views[photo];
        const std::vector<int> order = PointOrder(view, stored);
        std::vector<int> position(order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            position[order[i]] = static_cast<int>(i);
            FeaturePoint point;
            point.vertexIndex = static_cast<uint32_t>(stored.storedOfWelded[view.vertex[order[i]]]);
            point.level = view.level[order[i]];
            set.points[photo].push_back(point);
        }
        for (const DraftFeature& f : view.features) {
            Feature feature;
            feature.name = QString::fromStdString(f.name);
            feature.parent = f.parent;
            for (const auto& [a, b] : f.segments) {
                feature.segments.push_back({position[a], position[b]});
            }
            set.features[photo].push_back(feature);
        }
    }
    return set;
}

// The generated data must match the tables the program and its documents rely on; a design
// change that breaks them must not reach the resources.
void Validate(const Generated& g) {
    const size_t points[2] = {157, 124};
    const int levels[2][5] = {{40, 59, 58, 0, 0}, {28, 43, 52, 0, 1}};
    const size_t features[2] = {19, 13};
    const size_t segments[2] = {146, 117};
    for (int photo = 0; photo < kPhotoCount; ++photo) {
        int count[5] = {};
        std::vector<bool> used(g.features.points[photo].size(), false);
        std::vector<bool> bound(g.stored.positions.size(), false);
        for (const FeaturePoint& p : g.features.points[photo]) {
            if (p.level < 0 || p.level > 4 || bound[p.vertexIndex]) {
                throw std::runtime_error("feature set: bad level or vertex bound twice");
            }
            bound[p.vertexIndex] = true;
            ++count[p.level];
        }
        size_t total = 0;
        for (const Feature& f : g.features.features[photo]) {
            total += f.segments.size();
            for (const auto& [a, b] : f.segments) {
                used[a] = used[b] = true;
            }
        }
        if (g.features.points[photo].size() != points[photo] ||
            !std::equal(count, count + 5, levels[photo]) ||
            g.features.features[photo].size() != features[photo] || total != segments[photo] ||
            std::count(used.begin(), used.end(), false) != 0) {
            throw std::runtime_error("feature set: counts differ from the feature tables");
        }
    }
    // A new document's point positions must span the whole head, and no vertex may sit exactly
    // where a bound vertex lies in that photo's plane (it would follow that point fully).
    for (int photo = 0; photo < kPhotoCount; ++photo) {
        float Vec3::*across = photo == Front ? &Vec3::x : &Vec3::z;
        float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f}, plo[2] = {1e9f, 1e9f},
              phi[2] = {-1e9f, -1e9f};
        for (const Vec3& p : g.stored.positions) {
            lo[0] = std::min(lo[0], p.*across), hi[0] = std::max(hi[0], p.*across);
            lo[1] = std::min(lo[1], p.y), hi[1] = std::max(hi[1], p.y);
        }
        for (const FeaturePoint& point : g.features.points[photo]) {
            const Vec3 b = g.stored.positions[point.vertexIndex];
            plo[0] = std::min(plo[0], b.*across), phi[0] = std::max(phi[0], b.*across);
            plo[1] = std::min(plo[1], b.y), phi[1] = std::max(phi[1], b.y);
            for (const Vec3& p : g.stored.positions) {
                const bool own = p == b || (photo == Side && p == Vec3{-b.x, b.y, b.z});
                if (!own && p.y == b.y && p.*across == b.*across) {
                    throw std::runtime_error("feature set: a vertex shares a bound vertex's place");
                }
            }
        }
        if (!std::equal(lo, lo + 2, plo) || !std::equal(hi, hi + 2, phi)) {
            throw std::runtime_error("feature set: points do not reach the head's extremes");
        }
    }
    if (g.stored.positions.size() != 479 || g.stored.indices.size() != 916 * 3) {
        throw std::runtime_error("head: wrong vertex or triangle count");
    }
}

Generated Generate() {
    Generated g;
    g.head = TriangulateHead(BuildLayout());
    const std::vector<std::string> problems = CheckWeldedHead(g.head);
    if (!problems.empty()) {
        throw std::runtime_error("head topology: " + problems.front());
    }
    const DraftFeatureSet draft = DesignFeatureSet(g.head);
    g.stored = StoreHead(g.head, ScaleToBounds(g.head), draft.pins);
    g.features = StoreFeatureSet(draft, g.stored);
    Validate(g);
    return g;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

QByteArray HeadFile(const StoredHead& stored) {
    Mesh mesh;
    for (size_t i = 0; i < stored.positions.size(); ++i) {
        HeadVertex v{};
        v.position = stored.positions[i];
        v.diffuse = 0xFFFFFFFF;
        v.frontUV = stored.modelUV[i]; // the file's only texture set
        v.modelUV = stored.modelUV[i];
        mesh.vertices.push_back(v);
    }
    mesh.indices = stored.indices;
    mesh.attributes.assign(mesh.indices.size() / 3, 0);
    XFileWriteOptions options;
    options.format = XFileFormat::CompressedBinary;
    options.positionsAndFirstTextureSetOnly = true;
    return WriteXFile(mesh, options);
}

QByteArray FeatureSetFile(const FeatureSet& set) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Archive archive(buffer, Archive::Mode::Store);
    WriteFeatureSetBlock(archive, set);
    buffer.close();
    return bytes;
}

void PrintReport(const Generated& g) {
    for (int photo = 0; photo < kPhotoCount; ++photo) {
        int levels[6] = {};
        for (const FeaturePoint& p : g.features.points[photo]) {
            ++levels[std::clamp(p.level, 0, 5)];
        }
        size_t segments = 0;
        for (const Feature& f : g.features.features[photo]) {
            segments += f.segments.size();
        }
        std::printf(
            "photo %d: %zu points (levels 0/1/2/4: %d/%d/%d/%d), %zu features, %zu segments\n",
            photo, g.features.points[photo].size(), levels[0], levels[1], levels[2], levels[4],
            g.features.features[photo].size(), segments);
    }
    std::printf("front midline (y, z):");
    for (int v : g.head.layout.front) {
        std::printf(" (%.0f, %.0f)", g.head.layout.positions[v].y, g.head.layout.positions[v].z);
    }
    std::printf("\n");
    std::printf("feature set %lld bytes\n",
                static_cast<long long>(FeatureSetFile(g.features).size()));
}

void WritePreviews(const Generated& g, const QString& dir) {
    QDir().mkpath(dir);
    const PreviewMesh mesh{g.head.layout.positions, g.head.triangles};
    const PreviewMesh fine = LoopSubdivide(LoopSubdivide(mesh));
    const double yaws[] = {0, 90, 35, 180, -60};
    const char* names[] = {"front", "side", "threequarter", "back", "left"};
    for (int i = 0; i < 5; ++i) {
        RenderPreview(mesh, yaws[i], true, dir + "/low_" + names[i] + ".png");
        RenderPreview(fine, yaws[i], false, dir + "/high_" + names[i] + ".png");
    }
    // Close-ups of the face, where the detail is.
    RenderPreview(mesh, 0, true, dir + "/face_low.png", {}, 2.2, {0, -90});
    RenderPreview(fine, 0, false, dir + "/face_high.png", {}, 2.2, {0, -90});
    RenderPreview(fine, 40, false, dir + "/face_high_turned.png", {}, 2.2, {-60, -90});
    RenderPreview(fine, 90, false, dir + "/face_high_side.png", {}, 2.2, {-150, -90});
    // The ear seen square on (it faces a little forwards) and from behind, standing off.
    RenderPreview(fine, 65, false, dir + "/ear_high.png", {}, 3.0, {150, -30});
    RenderPreview(mesh, 65, true, dir + "/ear_low.png", {}, 3.0, {150, -30});
    RenderPreview(fine, 150, false, dir + "/ear_high_back.png", {}, 2.2, {0, -30});
    // Each photo's feature points and segments over the head seen from that photo.
    for (int photo = 0; photo < kPhotoCount; ++photo) {
        std::vector<D3> marks;
        for (const FeaturePoint& p : g.features.points[photo]) {
            marks.push_back(g.head.layout.positions[g.stored.weldedOfStored[p.vertexIndex]]);
        }
        std::vector<std::pair<D3, D3>> lines;
        for (const Feature& f : g.features.features[photo]) {
            for (const auto& [a, b] : f.segments) {
                lines.push_back({marks[a], marks[b]});
            }
        }
        RenderPreview(fine, photo == Front ? 0 : 90, false,
                      dir + (photo == Front ? "/features_front.png" : "/features_side.png"), marks,
                      1.0, {}, lines);
    }
    // The model texture layout, face triangles shaded.
    QImage layout(700, 700, QImage::Format_RGB32);
    layout.fill(Qt::white);
    QPainter uvPainter(&layout);
    uvPainter.setRenderHint(QPainter::Antialiasing, true);
    double total = 0, face = 0;
    for (size_t f = 0; f < g.stored.indices.size(); f += 3) {
        QPolygonF poly;
        Vec3 centre{};
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = g.stored.indices[f + k];
            // As the baked texture shows it: v grows upwards.
            poly << QPointF(g.stored.modelUV[v].x * 700, (1 - g.stored.modelUV[v].y) * 700);
            centre = centre + g.stored.positions[v] * (1.0f / 3);
        }
        const double area = std::abs((poly[1].x() - poly[0].x()) * (poly[2].y() - poly[0].y()) -
                                     (poly[1].y() - poly[0].y()) * (poly[2].x() - poly[0].x()));
        const bool isFace = centre.z < 0 && centre.y > -330 && centre.y < 80;
        total += area;
        face += isFace ? area : 0;
        uvPainter.setPen(QPen(Qt::black, 0.5));
        uvPainter.setBrush(isFace ? QColor(240, 200, 170) : QColor(200, 210, 230));
        uvPainter.drawPolygon(poly);
    }
    uvPainter.end();
    layout.save(dir + "/texture_layout.png");
    std::printf("face share of the texture layout: %.3f\n", face / total);
    // One sheet with the views that matter most, for a quick look.
    QImage sheet(1400, 1400, QImage::Format_RGB32);
    QPainter painter(&sheet);
    const char* tiles[] = {"high_front", "high_side", "high_threequarter", "face_high_turned"};
    for (int i = 0; i < 4; ++i) {
        painter.drawImage(QRect((i % 2) * 700, (i / 2) * 700, 700, 700),
                          QImage(dir + "/" + tiles[i] + ".png"));
    }
    painter.end();
    sheet.save(dir + "/sheet.png");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool preview = args.size() == 4 && args[2] == "--preview";
    const bool report = args.size() == 3 && args[2] == "--report";
    if (args.size() != 2 && !preview && !report) {
        std::fprintf(stderr, "usage: headgen OUT_DIR [--preview DIR | --report]\n");
        return 2;
    }
    try {
        const Generated g = Generate();
        QDir().mkpath(args[1]);
        WriteFile(args[1] + "/head.x", HeadFile(g.stored));
        WriteFile(args[1] + "/featureset.bin", FeatureSetFile(g.features));
        if (preview) {
            WritePreviews(g, args[3]);
        }
        if (report) {
            PrintReport(g);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "headgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
