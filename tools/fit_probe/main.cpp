// fit_probe FRONT SIDE OUT.png: runs the automatic fit on a photo pair and draws what it saw and
// did, for people tuning the fit: the profile's outline and landmarks on the side photo as it
// was, then both photos as the document holds them after the fit, with the feature points and
// the blend zone. FRONT may be "-" to fit the side photo alone. It prints the notes and the folded
// triangles' count; with FOLDS=1 in the environment, each folded triangle too.
#include "autofit/DocumentFit.h"
#include "autofit/FaceLandmarks.h"
#include "autofit/detail/SideFit.h"
#include "document/CVisomorfDoc.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

using namespace vm;

QImage DrawProfile(const QImage& photo, const ProfileSilhouette& s,
                   const std::optional<ProfileLandmarks>& landmarks) {
    QImage out = photo.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&out);
    painter.setPen(QPen(Qt::red, 5));
    for (size_t y = 0; y < s.front.size(); ++y) {
        if (s.front[y] >= 0) {
            const Vec2 f = ProfileToPhoto(s, {s.front[y], static_cast<int>(y)});
            const Vec2 b = ProfileToPhoto(s, {s.back[y], static_cast<int>(y)});
            painter.drawPoint(QPointF(f.x, f.y));
            painter.drawPoint(QPointF(b.x, b.y));
        }
    }
    if (!landmarks) {
        return out;
    }
    const ProfileLandmarks& l = *landmarks;
    painter.setPen(QPen(Qt::yellow, 6));
    for (const cv::Point& p :
         {l.top, l.nasion, l.noseTip, l.subnasale, l.upperLip, l.labiomental, l.chin}) {
        const Vec2 q = ProfileToPhoto(s, p);
        painter.drawPoint(QPointF(q.x, q.y));
    }
    return out;
}

QImage DrawDocumentPhoto(const CVisomorfDoc& doc, int photo) {
    QImage out = doc.photos[photo].convertToFormat(QImage::Format_RGB32);
    QPainter painter(&out);
    painter.setPen(QPen(Qt::green, 4));
    for (const Vec2& p : doc.pointPositions[photo]) {
        painter.drawPoint(QPointF(p.x, p.y));
    }
    painter.setPen(QPen(Qt::cyan, 1));
    const Box& b = doc.box[photo];
    painter.drawRect(QRectF(b.left, b.top, b.Width(), b.Height()));
    if (photo == Side && doc.blendZone.size() > 1) {
        painter.setPen(QPen(Qt::magenta, 2));
        for (size_t i = 1; i < doc.blendZone.size(); ++i) {
            painter.drawLine(QPointF(doc.blendZone[i - 1].x, doc.blendZone[i - 1].y),
                             QPointF(doc.blendZone[i].x, doc.blendZone[i].y));
        }
    }
    return out;
}

// Triangles that turn the other way round in the front (x, y) or side (z, y) projection than
// on the generic head: folds. A triangle seen nearly edge-on (its projection less than a third of
// its area) shows no face to turn over and is not counted.
int Folds(const Mesh& generic, const Mesh& fitted) {
    int folds = 0;
    for (bool side : {false, true}) {
        for (size_t f = 0; f < generic.FaceCount(); ++f) {
            float area[2];
            const Mesh* meshes[2] = {&generic, &fitted};
            for (int m = 0; m < 2; ++m) {
                Vec2 p[3];
                for (int c = 0; c < 3; ++c) {
                    const Vec3& v = meshes[m]->vertices[meshes[m]->indices[3 * f + c]].position;
                    p[c] = side ? Vec2{v.z, v.y} : Vec2{v.x, v.y};
                }
                area[m] =
                    (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
            }
            const Vec3& a = generic.vertices[generic.indices[3 * f]].position;
            const Vec3& b = generic.vertices[generic.indices[3 * f + 1]].position;
            const Vec3& c = generic.vertices[generic.indices[3 * f + 2]].position;
            const float whole = Length(Cross(b - a, c - a));
            const bool fold = std::abs(area[0]) > 0.35f * whole && area[0] * area[1] < 0;
            if (fold && std::getenv("FOLDS")) {
                std::fprintf(stderr, "fold %s %zu at %.0f %.0f %.0f\n", side ? "side" : "front", f,
                             a.x, a.y, a.z);
            }
            folds += fold;
        }
    }
    return folds;
}

QImage Row(const QList<QImage>& pictures, int height) {
    int width = 0;
    QList<QImage> scaled;
    for (const QImage& p : pictures) {
        scaled << p.scaledToHeight(height, Qt::SmoothTransformation);
        width += scaled.back().width();
    }
    QImage row(width, height, QImage::Format_RGB32);
    QPainter painter(&row);
    int x = 0;
    for (const QImage& p : scaled) {
        painter.drawImage(x, 0, p);
        x += p.width();
    }
    return row;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 4) {
        err << "usage: fit_probe FRONT|- SIDE OUT.png\n";
        return 2;
    }
    try {
        CVisomorfDoc doc;
        doc.reportFailure = [&err](const QString& text) { err << text << "\n"; };
        if (!doc.OnNewDocument()) {
            return 1;
        }
        const QString front = QString::fromLocal8Bit(argv[1]);
        if (front != "-") {
            doc.LoadPhoto(Front, front);
        }
        doc.LoadPhoto(Side, QString::fromLocal8Bit(argv[2]));
        QList<QImage> pictures;
        QString reason;
        if (const auto reading =
                ReadProfile(doc.photos[Side], FaceLandmarker::Instance(), reason)) {
            pictures << DrawProfile(doc.photos[Side], reading->silhouette, reading->landmarks);
        } else if (const auto traced = TraceProfile(doc.photos[Side], reason)) {
            err << "profile: no landmarks\n";
            pictures << DrawProfile(doc.photos[Side], *traced, std::nullopt);
        } else {
            err << "profile: " << reason << "\n";
        }
        const Mesh generic = *doc.editableMesh;
        const DocumentFitReport report = AutoFitDocument(doc, true);
        err << "folds: " << Folds(generic, *doc.editableMesh) << "\n";
        for (int p = 0; p < kPhotoCount; ++p) {
            if (report.attempted[p] && !report.photos[p].fitted) {
                err << (p == Front ? "front: " : "side: ") << report.photos[p].failure << "\n";
            }
            for (const QString& note : report.photos[p].notes) {
                err << "note: " << note << "\n";
            }
        }
        if (front != "-") {
            pictures << DrawDocumentPhoto(doc, Front);
        }
        pictures << DrawDocumentPhoto(doc, Side);
        Row(pictures, 400).save(QString::fromLocal8Bit(argv[3]));
    } catch (const std::exception& failure) {
        err << "fit_probe: " << failure.what() << "\n";
        return 1;
    }
    return 0;
}
