#pragma once
// What the main window's tests share: views of their own behind the frame's view factory, user
// settings kept in a scratch folder, and the failure messages the user would have seen.
#include "app/MainFrameViews.h"
#include "document/CVisomorfDoc.h"
#include "views/FailureReport.h"

#include <QPaintEvent>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

namespace vm::test {

class TestView : public QWidget, public CDocumentView {
public:
    TestView(CVisomorfDoc& doc, const QString& title, int photo, bool is3D, QWidget* parent)
        : QWidget(parent), m_doc(doc), m_photo(photo), m_is3D(is3D) {
        setWindowTitle(title);
        m_doc.AddView(this);
    }
    ~TestView() override { m_doc.RemoveView(this); }

    void OnUpdate(CDocumentView*, int) override { ++updates; }
    int PhotoViewIndex() const override { return m_photo; }
    bool Is3DView() const override { return m_is3D; }
    bool IsDragging() const override { return dragging; }

    bool dragging = false;
    int updates = 0;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }

private:
    CVisomorfDoc& m_doc;
    int m_photo;
    bool m_is3D;
};

inline MainFrameViews TestViews() {
    MainFrameViews views;
    views.createFront = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new TestView(doc, QStringLiteral("Front View"), 0, false, parent);
    };
    views.createSide = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new TestView(doc, QStringLiteral("Side View"), 1, false, parent);
    };
    views.create3D = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new TestView(doc, QStringLiteral("3D View"), -1, true, parent);
    };
    views.createMagnifier = [](QWidget* frame) -> QWidget* {
        auto* magnifier = new QWidget(frame, Qt::Tool);
        magnifier->setWindowTitle(QStringLiteral("Magnifier"));
        return magnifier;
    };
    return views;
}

// The user's settings (recent files) in a scratch folder for the test's life, and the failure
// messages collected instead of shown.
class ScratchSettings {
public:
    ScratchSettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        m_previousSink = SetFailureSink([this](const QString& text) { failures.append(text); });
    }
    ~ScratchSettings() { SetFailureSink(m_previousSink); }
    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QStringList failures;

private:
    FailureSink m_previousSink;
};

} // namespace vm::test
