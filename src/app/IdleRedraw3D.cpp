#include "app/IdleRedraw3D.h"

#include "document/CVisomorfDoc.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QWidget>

namespace vm {

IdleRedraw3D::IdleRedraw3D(CVisomorfDoc& doc, QObject* parent) : QObject(parent), m_doc(doc) {
    m_doc.requestRedraw3D = [this] { Request(); };
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &IdleRedraw3D::OnIdle);
    }
}

IdleRedraw3D::~IdleRedraw3D() {
    m_doc.requestRedraw3D = nullptr;
}

void IdleRedraw3D::Request() {
    // Requests come from event handlers, so the loop goes idle after this one.
    m_bRedraw3D = true;
}

void IdleRedraw3D::OnIdle() {
    if (!m_bRedraw3D) {
        return;
    }
    m_bRedraw3D = false;
    if (auto* widget = dynamic_cast<QWidget*>(m_doc.Find3DView())) {
        widget->update();
    }
}

} // namespace vm
