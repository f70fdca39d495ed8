// screenshot_3d OUT_DIR [FRONT_PHOTO SIDE_PHOTO]: the 3D view of a new document with two photos,
// as view3d_solid.png (solid, lit), view3d_wireframe.png (medium detail) and
// view3d_persp.png. The photos default to the portraits that python3-skimage ships; the boxes
// are set around the heads in those two pictures.
#include "document/CVisomorfDoc.h"
#include "platform/mesh/MeshServices.h"
#include "views/view3d/C3DView.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <exception>

namespace {

using namespace vm;

const char* const kSkimage = "/usr/lib/python3/dist-packages/skimage/data/";

bool Save(C3DView& view, const QDir& out, const char* name) {
    view.update();
    QApplication::processEvents();
    // Without OpenGL the pane holds a message instead, which only a widget grab shows.
    const QImage frame =
        view.UnavailableMessage().isEmpty() ? view.grabFramebuffer() : view.grab().toImage();
    const QString path = out.filePath(QString::fromLatin1(name));
    if (frame.isNull() || !frame.save(path)) {
        std::fprintf(stderr, "screenshot_3d: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

// Moves the side box onto the head and the blend zone with it, so that the zone keeps its
// place on the face.
void FrameSideHead(CVisomorfDoc& doc, const Box& head) {
    const Box old = doc.box[Side];
    const float sx = (head.right - head.left) / (old.right - old.left);
    const float sy = (head.bottom - head.top) / (old.bottom - old.top);
    for (Vec2& p : doc.blendZone) {
        p = {head.left + (p.x - old.left) * sx, head.top + (p.y - old.top) * sy};
    }
    doc.blendZoneWidth *= sx;
    doc.SetBox(Side, head.left, head.top, head.right, head.bottom);
    doc.UpdateBlendZone();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 4) {
        std::fprintf(stderr, "usage: screenshot_3d OUT_DIR [FRONT_PHOTO SIDE_PHOTO]\n");
        return 2;
    }
    const bool ownPhotos = args.size() == 4;
    const QString front = ownPhotos ? args[2] : QString::fromLatin1(kSkimage) + "astronaut.png";
    const QString side = ownPhotos ? args[3] : QString::fromLatin1(kSkimage) + "camera.png";
    QDir().mkpath(args[1]);
    const QDir out(args[1]);
    try {
        CVisomorfDoc doc(3);
        doc.reportFailure = [](const QString& text) {
            std::fprintf(stderr, "screenshot_3d: %s\n", qPrintable(text));
        };
        if (!doc.OnNewDocument()) {
            return 1;
        }
        doc.LoadPhoto(Front, front);
        doc.LoadPhoto(Side, side);
        if (!ownPhotos) {
            doc.SetBox(Front, 150, 12, 302, 215);
            FrameSideHead(doc, {148, 60, 262, 215});
        }
        doc.RebuildDisplayMesh();
        // Frame the head as it is now, after the boxes moved and scaled it.
        ComputeBoundingSphere(doc.editableMesh->vertices.data(), doc.editableMesh->VertexCount(),
                              doc.boundingCentre, doc.boundingRadius);
        doc.lighting = true;

        C3DView view(doc);
        view.resize(480, 560);
        view.show();
        // A slight turn towards the side photo shows how the two photos meet.
        view.Camera().SetRotation(QuaternionRotationAxis({0, 1, 0}, 0.45f));
        view.Camera().SetZoom(1.1f);
        bool ok = Save(view, out, "view3d_solid.png");
        // At medium detail the edges stay apart enough to be seen.
        doc.SetModelDetail(Medium);
        doc.wireframe = true;
        ok = Save(view, out, "view3d_wireframe.png") && ok;
        doc.wireframe = false;
        doc.SetModelDetail(High);
        doc.orthogonal = false;
        view.Camera().SetZoom(1.3f);
        ok = Save(view, out, "view3d_persp.png") && ok;
        if (!view.UnavailableMessage().isEmpty()) {
            std::fprintf(stderr, "screenshot_3d: %s\n", qPrintable(view.UnavailableMessage()));
            return 1;
        }
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "screenshot_3d: %s\n", e.what());
        return 1;
    }
}
