#include "views/view3d/SoftwareScene.h"

#include "document/CVisomorfDoc.h"
#include "platform/raster/Rasterizer.h"
#include "texture/FixedFunctionPipeline.h"

namespace vm {

QImage RenderSceneSoftware(const CVisomorfDoc& doc, const SceneTransforms& transforms) {
    RenderTarget target(static_cast<int>(transforms.viewport.width),
                        static_cast<int>(transforms.viewport.height));
    target.Clear(0xFFFFFFFFu, 1.0f);
    if (doc.displayedMesh) {
        FixedFunctionScene scene;
        scene.world = transforms.world;
        scene.view = transforms.view;
        scene.projection = transforms.projection;
        scene.wireframe = doc.wireframe;
        scene.lighting = doc.lighting;
        scene.front = doc.textures[Front].get();
        scene.side = doc.textures[Side].get();
        DrawFixedFunction(target, *doc.displayedMesh, scene);
    }
    return target.ToImage();
}

} // namespace vm
