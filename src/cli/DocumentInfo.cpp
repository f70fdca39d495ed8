#include "cli/DocumentInfo.h"

#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <algorithm>
#include <functional>

namespace vm {

namespace {

const char* const kPhotoNames[kPhotoCount] = {"front", "side"};
const char* const kDetailNames[] = {"low", "medium", "high"};

QJsonObject MeshCounts(const Mesh& mesh) {
    return {{"vertices", static_cast<qint64>(mesh.VertexCount())},
            {"faces", static_cast<qint64>(mesh.FaceCount())}};
}

QJsonArray Pair(const Vec2& v) {
    return {v.x, v.y};
}

QJsonObject DetailCounts(CVisomorfDoc& doc) {
    QJsonObject counts;
    if (!doc.editableMesh) {
        return counts;
    }
    counts[kDetailNames[Low]] = MeshCounts(*doc.editableMesh);
    const int32_t kept = doc.modelDetail;
    try {
        for (int32_t detail : {Medium, High}) {
            doc.modelDetail = detail;
            counts[kDetailNames[detail]] = MeshCounts(doc.SubdivideMesh());
        }
    } catch (...) {
        doc.modelDetail = kept;
        throw;
    }
    doc.modelDetail = kept;
    return counts;
}

QJsonObject PerPhoto(const std::function<QJsonValue(int)>& value) {
    QJsonObject object;
    for (int p = 0; p < kPhotoCount; ++p) {
        object[kPhotoNames[p]] = value(p);
    }
    return object;
}

} // namespace

QJsonObject DocumentInfo(CVisomorfDoc& doc) {
    QJsonObject info;
    info["detail"] = DetailCounts(doc);
    info["modelDetail"] = kDetailNames[std::clamp(doc.modelDetail, 0, 2)];
    info["points"] = PerPhoto([&](int p) { return static_cast<qint64>(doc.points[p].size()); });
    info["features"] = PerPhoto([&](int p) { return static_cast<qint64>(doc.features[p].size()); });
    info["modelOffset"] = PerPhoto([&](int p) { return Pair(doc.modelOffset[p]); });
    info["box"] = PerPhoto([&](int p) {
        const Box& b = doc.box[p];
        return QJsonArray{b.left, b.top, b.right, b.bottom};
    });
    info["photoSize"] = PerPhoto([&](int p) {
        const QSize size = doc.GetPhotoSize(p);
        return QJsonArray{size.width(), size.height()};
    });
    const Vec3& c = doc.boundingCentre;
    info["boundingSphere"] =
        QJsonObject{{"centre", QJsonArray{c.x, c.y, c.z}}, {"radius", doc.boundingRadius}};
    QJsonArray zone;
    for (const Vec2& point : doc.blendZone) {
        zone.append(Pair(point));
    }
    info["blendZone"] = QJsonObject{{"points", zone}, {"width", doc.blendZoneWidth}};
    return info;
}

QByteArray DocumentInfoJson(CVisomorfDoc& doc) {
    return QJsonDocument(DocumentInfo(doc)).toJson(QJsonDocument::Indented);
}

int RunInfoCommand(int initialModelDetail) {
    QTextStream err(stderr);
    CVisomorfDoc doc(initialModelDetail);
    doc.reportFailure = [&err](const QString& text) { err << text << "\n"; };
    if (!doc.OnNewDocument()) {
        return 1;
    }
    try {
        const QByteArray json = DocumentInfoJson(doc);
        QTextStream(stdout) << json;
    } catch (const std::exception& failure) {
        err << FailureText(failure) << "\n";
        return 1;
    }
    return 0;
}

} // namespace vm
