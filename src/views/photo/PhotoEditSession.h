#pragma once
// One drag on a photo from press to release, apart from any widget: the snapshot taken at the
// press, the steps that change the model, and the end that makes them one undo step or takes
// them all back. The pane around it keeps only the mouse capture and the cursor, as the 3D view
// does with its push/pull editor.
#include "document/CVisomorfDoc.h"
#include "views/photo/OverlayHitTest.h"

#include <QPoint>

namespace vm {

class PhotoEditSession {
public:
    // owner: the view the session speaks for; the document's notifications skip it.
    PhotoEditSession(CVisomorfDoc& doc, CDocumentView* owner);
    // A session still open takes its steps back, silently.
    ~PhotoEditSession();
    PhotoEditSession(const PhotoEditSession&) = delete;
    PhotoEditSession& operator=(const PhotoEditSession&) = delete;

    bool Active() const { return m_kind != Kind::None; }

    // Grabs target on photo at mouse (window pixels) and saves the snapshot; false, with nothing
    // saved, when the target does not drag.
    bool Begin(int photo, OverlayHit target, QPoint mouse);
    // Moves what the press grabbed by the mouse movement since the last step, at scale window
    // pixels per photo pixel. A change rebuilds the displayed mesh (and the side texture's
    // blend for the blend zone) and asks for a 3D redraw; false when nothing changed.
    bool Step(QPoint mouse, float scale);
    // Closes the session. When a step changed the model: one undo step, the document marked
    // modified and the other views told; otherwise the model returns to the press exactly and
    // the history stays as it was (a click is not an edit). True when committed.
    bool End();
    // Closes the session and takes every step back, rebuilding what the steps rebuilt and
    // telling the other views; false when no session was open.
    bool Cancel();
    // Closes the session and restores the snapshot without rebuilding or telling anyone, for
    // a view that goes away.
    void Abandon() noexcept;

private:
    enum class Kind { None, MoveBox, ResizeBox, MovePoints, BlendVertex, BlendZone, BlendWidth };

    Kind KindFor(int photo, OverlayHit target);
    void StepBlend(QPoint mouse, float scale);
    void StepPhoto(QPoint mouse, float scale);
    void Close();

    CVisomorfDoc& m_doc;
    CDocumentView* m_owner;
    Kind m_kind = Kind::None;
    int m_photo = 0;
    // The box handle, blend vertex or blend line grabbed: fixed at the press, as a wheel zoom
    // during the drag may change what lies under the mouse.
    int m_grabbed = -1;
    QPoint m_reference; // window pixels
    bool m_changed = false;
    PointWeightMap m_pointWeights;
    VertexWeightMap m_vertexWeights;
};

} // namespace vm
