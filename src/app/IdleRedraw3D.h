#pragma once
// The deferred 3D repaint: any number of requests between two idle periods cost one repaint of
// the document's 3D view, made when the event loop has nothing else to do.
#include <QObject>

namespace vm {

class CVisomorfDoc;

class IdleRedraw3D : public QObject {
    Q_OBJECT
public:
    // Sets the document's requestRedraw3D hook and watches the event loop for idle periods.
    explicit IdleRedraw3D(CVisomorfDoc& doc, QObject* parent = nullptr);
    ~IdleRedraw3D() override;

    void Request();
    bool Pending() const { return m_bRedraw3D; }
    // Repaints the 3D view once if asked to, then clears the request.
    void OnIdle();

private:
    CVisomorfDoc& m_doc;
    bool m_bRedraw3D = false;
};

} // namespace vm
