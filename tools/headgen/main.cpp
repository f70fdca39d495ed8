#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <exception>

#include "HeadMesh.h"
#include "Preview.h"

using namespace vm::headgen;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        const HeadLayout layout = BuildLayout();
        const WeldedHead head = TriangulateHead(layout);
        for (const auto& p : CheckWeldedHead(head)) {
            std::fprintf(stderr, "problem: %s\n", p.c_str());
        }
        std::printf("vertices %zu triangles %zu\n", head.layout.positions.size(), head.triangles.size());
        if (args.size() > 2 && args[1] == "--preview") {
            QDir().mkpath(args[2]);
            PreviewMesh mesh{head.layout.positions, head.triangles};
            const PreviewMesh fine = LoopSubdivide(LoopSubdivide(mesh));
            const double yaws[] = {0, 90, 35, 180};
            const char* names[] = {"front", "side", "threequarter", "back"};
            for (int i = 0; i < 4; ++i) {
                RenderPreview(mesh, yaws[i], true, args[2] + "/low_" + names[i] + ".png");
                RenderPreview(fine, yaws[i], false, args[2] + "/high_" + names[i] + ".png");
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "headgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
