#pragma once
// A new document with real photo views on screen, and mouse input sent to their client area
// as the window system would deliver it.
#include "document/CVisomorfDoc.h"
#include "views/FailureReport.h"
#include "views/photo/CImageView.h"
#include "views/photo/OverlayHitTest.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace vm::test {

class PhotoViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // The offscreen platform cannot grab the pointer for real; the widget grab still
        // routes and reports the capture, which is what the tests look at.
        static const QtMessageHandler platformHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (!text.contains(QStringLiteral("does not support grabbing the mouse"))) {
                    platformHandler(type, context, text);
                }
            });
        ASSERT_TRUE(doc.OnNewDocument());
        m_previousSink = SetFailureSink([this](const QString& text) { failures << text; });
        doc.reportFailure = [this](const QString& text) { failures << text; };
    }
    void TearDown() override { SetFailureSink(m_previousSink); }

    template <class View> std::unique_ptr<View> Show(QSize size = {740, 940}) {
        auto view = std::make_unique<View>(doc);
        view->resize(size);
        view->show();
        QApplication::processEvents();
        return view;
    }

    // photo: photo pixels -> the view's client position.
    static QPoint At(const CImageView& view, Vec2 photo) {
        return view.Viewport().PhotoToWindow(QPointF(photo.x, photo.y));
    }

    static void Mouse(CImageView& view, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
        QWidget* target = view.viewport();
        QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    static void Move(CImageView& view, QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton) {
        Mouse(view, QEvent::MouseMove, pos, Qt::NoButton, buttons);
    }
    static void Press(CImageView& view, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        Mouse(view, QEvent::MouseButtonPress, pos, button, button);
    }
    static void Release(CImageView& view, QPoint pos) {
        Mouse(view, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    }
    static void Wheel(CImageView& view, QPoint pos, int delta) {
        QWheelEvent event(QPointF(pos), view.viewport()->mapToGlobal(QPointF(pos)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &event);
    }
    static void Key(QWidget& target, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&target, &press);
    }
    // A press, moves in two steps, and a release.
    static void Drag(CImageView& view, QPoint from, QPoint by) {
        Press(view, from);
        Move(view, from + by / 2);
        Move(view, from + by);
        Release(view, from + by);
    }

    // Everything a drag may change, to compare before and after.
    struct ModelState {
        UndoSnapshot snapshot;
        float width = 0;
        bool operator==(const ModelState& o) const {
            for (int p = 0; p < kPhotoCount; ++p) {
                if (!(snapshot.boxes[p] == o.snapshot.boxes[p]) ||
                    !SamePositions(snapshot.pointPositions[p], o.snapshot.pointPositions[p])) {
                    return false;
                }
            }
            return snapshot.vertices == o.snapshot.vertices &&
                   SamePositions(snapshot.blendZone, o.snapshot.blendZone) && width == o.width;
        }
        static bool SamePositions(const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
            return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                              [](Vec2 u, Vec2 v) { return u.x == v.x && u.y == v.y; });
        }
    };
    ModelState State() const {
        ModelState state;
        doc.CaptureState(state.snapshot);
        state.width = doc.blendZoneWidth;
        return state;
    }

    // The first shown point whose own marker is what a press on it grabs.
    int GrabbablePoint(const CImageView& view, int photo) const {
        const float t = HitTolerance(view.Viewport().Scale());
        for (size_t i = 0; i < doc.points[photo].size(); ++i) {
            const QPointF p = view.WindowToPhoto(At(view, doc.pointPositions[photo][i]));
            const Vec2 v{static_cast<float>(p.x()), static_cast<float>(p.y())};
            if (HitTestPoint(doc.points[photo], doc.pointPositions[photo], doc.pointsLevel, v, t) ==
                static_cast<int>(i)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // A client position on a segment of the feature where no point and no earlier feature
    // lies, or (-1, -1).
    QPoint GrabbableSegment(const CImageView& view, int photo, int feature) const {
        const float t = HitTolerance(view.Viewport().Scale());
        const auto& positions = doc.pointPositions[photo];
        for (const auto& [a, b] : doc.features[photo][feature].segments) {
            const Vec2 mid{(positions[a].x + positions[b].x) / 2,
                           (positions[a].y + positions[b].y) / 2};
            const QPoint pos = At(view, mid);
            const QPointF p = view.WindowToPhoto(pos);
            const Vec2 v{static_cast<float>(p.x()), static_cast<float>(p.y())};
            if (HitTestPoint(doc.points[photo], positions, doc.pointsLevel, v, t) == -1 &&
                HitTestFeature(doc.features[photo], positions, doc.pointsLevel, v, t) == feature) {
                return pos;
            }
        }
        return {-1, -1};
    }

    void ShowFeaturesOnly() {
        doc.showBox = false;
        doc.showFeatures = true;
        doc.pointsLevel = 5;
        doc.UpdateAllViews();
    }

    CVisomorfDoc doc;
    QStringList failures;

private:
    FailureSink m_previousSink;
};

} // namespace vm::test
