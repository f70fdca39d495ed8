// The binding of the main window to the program's views and dialogs.
#include "app/CVisomorfView.h"
#include "app/MainFrameViews.h"
#include "platform/Settings.h"

namespace vm {

MainFrameViews ProgramViews(const Settings& settings) {
    (void)settings; // the 3D view's mouse buttons
    MainFrameViews views;
    views.createFront = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new CVisomorfView(doc, QStringLiteral("Front View"), parent);
    };
    views.createSide = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new CVisomorfView(doc, QStringLiteral("Side View"), parent);
    };
    views.create3D = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new CVisomorfView(doc, QStringLiteral("3D View"), parent);
    };
    return views;
}

} // namespace vm
