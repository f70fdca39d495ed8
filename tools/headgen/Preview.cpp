#include "Preview.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace vm::headgen {

PreviewMesh LoopSubdivide(const PreviewMesh& mesh) {
    const int n = static_cast<int>(mesh.positions.size());
    std::map<Edge, std::vector<int>> opposite;
    std::vector<std::vector<int>> ring(n);
    for (const Triangle& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) {
            const int a = t[k], b = t[(k + 1) % 3], c = t[(k + 2) % 3];
            opposite[MakeEdge(a, b)].push_back(c);
            ring[a].push_back(b);
        }
    }
    std::vector<bool> onBoundary(n, false);
    for (const auto& [e, opp] : opposite) {
        if (opp.size() == 1) {
            onBoundary[e.first] = onBoundary[e.second] = true;
        }
    }
    PreviewMesh out;
    for (int v = 0; v < n; ++v) {
        std::vector<int> nb = ring[v];
        for (const auto& [e, opp] : opposite) {
            (void)opp;
            if (e.first == v || e.second == v) {
                nb.push_back(e.first == v ? e.second : e.first);
            }
        }
        std::sort(nb.begin(), nb.end());
        nb.erase(std::unique(nb.begin(), nb.end()), nb.end());
        D3 p = mesh.positions[v];
        if (onBoundary[v]) {
            D3 sum;
            int count = 0;
            for (int w : nb) {
                if (opposite[MakeEdge(v, w)].size() == 1) {
                    sum = sum + mesh.positions[w];
                    ++count;
                }
            }
            if (count == 2) {
                p = p * 0.75 + sum * 0.125;
            }
        } else {
            const double k = static_cast<double>(nb.size());
            const double c = 0.375 + 0.25 * std::cos(2 * kPi / k);
            const double beta = (0.625 - c * c) / k;
            D3 sum;
            for (int w : nb) {
                sum = sum + mesh.positions[w];
            }
            p = p * (1 - k * beta) + sum * beta;
        }
        out.positions.push_back(p);
    }
    std::map<Edge, int> edgeVertex;
    for (const auto& [e, opp] : opposite) {
        D3 p = (mesh.positions[e.first] + mesh.positions[e.second]) * 0.5;
        if (opp.size() == 2) {
            p = (mesh.positions[e.first] + mesh.positions[e.second]) * 0.375 +
                (mesh.positions[opp[0]] + mesh.positions[opp[1]]) * 0.125;
        }
        edgeVertex[e] = static_cast<int>(out.positions.size());
        out.positions.push_back(p);
    }
    for (const Triangle& t : mesh.triangles) {
        const int ab = edgeVertex[MakeEdge(t[0], t[1])];
        const int bc = edgeVertex[MakeEdge(t[1], t[2])];
        const int ca = edgeVertex[MakeEdge(t[2], t[0])];
        out.triangles.push_back({t[0], ab, ca});
        out.triangles.push_back({ab, t[1], bc});
        out.triangles.push_back({ca, bc, t[2]});
        out.triangles.push_back({ab, bc, ca});
    }
    return out;
}

void RenderPreview(const PreviewMesh& mesh, double yawDegrees, bool edges, const QString& path,
                   const std::vector<D3>& marks, double zoom, D2 centre,
                   const std::vector<std::pair<D3, D3>>& lines) {
    const int size = 700;
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor(60, 64, 72));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double yaw = Rad(yawDegrees);
    // View space: x right, y up, z away from the viewer; the camera turns around the head.
    auto view = [&](const D3& p) {
        return D3{p.x * std::cos(yaw) + p.z * std::sin(yaw), p.y,
                  -p.x * std::sin(yaw) + p.z * std::cos(yaw)};
    };
    const double scale = size / 800.0 * zoom;
    auto screen = [&](const D3& v) {
        return QPointF(size * 0.5 + (v.x - centre.x) * scale,
                       size * 0.5 - (v.y - centre.y) * scale);
    };
    struct Item {
        double depth;
        int tri;
    };
    std::vector<Item> order;
    for (int t = 0; t < static_cast<int>(mesh.triangles.size()); ++t) {
        const auto& tri = mesh.triangles[t];
        const double depth = view(mesh.positions[tri[0]]).z + view(mesh.positions[tri[1]]).z +
                             view(mesh.positions[tri[2]]).z;
        order.push_back({depth, t});
    }
    std::sort(order.begin(), order.end(), [](const Item& a, const Item& b) {
        return a.depth > b.depth || (a.depth == b.depth && a.tri < b.tri);
    });
    const D3 light = Unit({-0.4, 0.5, -1.0});
    for (const Item& item : order) {
        const auto& tri = mesh.triangles[item.tri];
        const D3 a = view(mesh.positions[tri[0]]), b = view(mesh.positions[tri[1]]),
                 c = view(mesh.positions[tri[2]]);
        const D3 normal = Unit(Cross(b - a, c - a));
        const bool facing = normal.z < 0;
        const double lambert = std::max(0.0, Dot(normal, light) * (facing ? 1 : -1));
        const int shade = static_cast<int>(40 + 200 * lambert);
        const QColor colour = facing ? QColor(shade, shade * 0.85, shade * 0.75)
                                     : QColor(shade * 0.6, shade * 0.3, shade * 0.3);
        QPolygonF poly;
        poly << screen(a) << screen(b) << screen(c);
        painter.setPen(edges ? QPen(QColor(20, 20, 20), 0.6) : QPen(colour, 0.8));
        painter.setBrush(colour);
        painter.drawPolygon(poly);
    }
    painter.setPen(QPen(QColor(40, 90, 230), 1.5));
    for (const auto& [a, b] : lines) {
        painter.drawLine(screen(view(a)), screen(view(b)));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 40, 40));
    for (const D3& m : marks) {
        painter.drawEllipse(screen(view(m)), 3.0, 3.0);
    }
    painter.end();
    if (!image.save(path)) {
        throw std::runtime_error("cannot write preview " + path.toStdString());
    }
}

} // namespace vm::headgen
