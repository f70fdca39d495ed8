#include "app/CSplitterWndEx.h"

#include "app/CViewActivation.h"
#include "platform/core/Exceptions.h"

#include <QMouseEvent>
#include <QPainter>

namespace vm {

CSplitterWndEx::CSplitterWndEx(bool columns, CViewActivation& activation, QWidget* parent)
    : QWidget(parent), m_layout(columns), m_activation(activation) {
    setMouseTracking(true);
    connect(&m_activation, &CViewActivation::ActiveChanged, this, [this] { update(); });
}

QWidget* CSplitterWndEx::View(int index) const {
    return index >= 0 && index < ViewCount() ? m_views[static_cast<size_t>(index)].data() : nullptr;
}

QWidget* CSplitterWndEx::PaneWidget(int pane) const {
    return pane == 0 || pane == 1 ? m_panes[pane].data() : nullptr;
}

QWidget* CSplitterWndEx::CreateView(int pane, const ViewFactory& create) {
    QWidget* view = create ? create(this) : nullptr;
    if (!view) {
        return nullptr;
    }
    view->setParent(this);
    m_panes[pane & 1] = view;
    m_layout.SetHoldsView(pane, true);
    view->setVisible(m_layout.IsPaneVisible(pane));
    RecalcLayout();
    return view;
}

int CSplitterWndEx::AddView(const ViewFactory& create) {
    QWidget* view = create ? create(this) : nullptr;
    if (!view) {
        return -1;
    }
    view->setParent(this);
    m_views.emplace_back(view);
    m_currentView = ViewCount() - 1;
    ShowInPane0(view);
    return m_currentView;
}

void CSplitterWndEx::SwitchView(int index) {
    if (index < 0 || index >= ViewCount()) {
        throw InvalidArgumentException();
    }
    m_currentView = index;
    ShowInPane0(View(index));
}

void CSplitterWndEx::ShowInPane0(QWidget* view) {
    QWidget* previous = m_panes[0].data();
    const bool wasActive = previous && previous != view && m_activation.IsActiveIn(previous);
    if (previous && previous != view) {
        previous->hide();
    }
    m_panes[0] = view;
    m_layout.SetHoldsView(0, true);
    if (view) {
        view->setVisible(m_layout.IsPaneVisible(0));
    }
    RecalcLayout();
    // The view that goes out of sight cannot stay active.
    if (wasActive) {
        m_activation.Activate(view);
    }
    update();
}

CSplitterWndEx* CSplitterWndEx::CreateNested(const ViewFactory& create1,
                                             const ViewFactory& create2) {
    auto* nested = new CSplitterWndEx(false, m_activation, this);
    nested->CreateView(0, create1);
    nested->CreateView(1, create2);
    m_panes[1] = nested;
    m_layout.SetHoldsView(1, false);
    nested->setVisible(m_layout.IsPaneVisible(1));
    RecalcLayout();
    return nested;
}

QWidget* CSplitterWndEx::FirstVisibleView() const {
    for (int pane = 0; pane < 2; ++pane) {
        QWidget* widget = PaneWidget(pane);
        if (!widget || !m_layout.IsPaneVisible(pane)) {
            continue;
        }
        if (auto* nested = qobject_cast<CSplitterWndEx*>(widget)) {
            if (QWidget* view = nested->FirstVisibleView()) {
                return view;
            }
            continue;
        }
        return widget;
    }
    return nullptr;
}

void CSplitterWndEx::MoveActivationFrom(int pane) {
    if (!m_activation.IsActiveIn(PaneWidget(pane))) {
        return;
    }
    QWidget* other = PaneWidget(1 - pane);
    if (auto* nested = qobject_cast<CSplitterWndEx*>(other)) {
        other = nested->FirstVisibleView();
    }
    m_activation.Activate(other);
}

void CSplitterWndEx::HidePane(int pane) {
    if (m_layout.HiddenPane() != -1 || (pane != 0 && pane != 1)) {
        return;
    }
    MoveActivationFrom(pane);
    m_layout.Hide(pane);
    if (QWidget* widget = PaneWidget(pane)) {
        widget->hide();
    }
    RecalcLayout();
}

void CSplitterWndEx::ShowPane() {
    // The pane's window comes back without taking the activation.
    if (m_layout.Show()) {
        RecalcLayout();
    }
}

void CSplitterWndEx::SetFirstPaneSize(int size) {
    m_layout.SetIdealSize(size);
    RecalcLayout();
}

// A pane squeezed to nothing (a row dragged shut) has its window hidden, so that views that draw
// into surfaces of their own never get one of size 0.
void CSplitterWndEx::RecalcLayout() {
    for (int pane = 0; pane < 2; ++pane) {
        QWidget* widget = PaneWidget(pane);
        if (!widget || !m_layout.IsPaneVisible(pane)) {
            continue;
        }
        const QRect rect = m_layout.PaneRect(pane, size());
        const bool shown = !rect.isEmpty();
        if (shown && widget->geometry() != rect) {
            widget->setGeometry(rect);
        }
        if (widget->isHidden() == shown) {
            widget->setVisible(shown);
        }
    }
    update();
}

void CSplitterWndEx::resizeEvent(QResizeEvent*) {
    RecalcLayout();
}

void CSplitterWndEx::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Button));
    for (int pane = 0; pane < 2; ++pane) {
        if (PaneWidget(pane) && m_layout.HoldsView(pane) && m_layout.IsPaneVisible(pane)) {
            PaintCaption(painter, pane);
        }
    }
}

// A frame in the button face, a 3D frame in the caption colour, then the title on the fill.
void CSplitterWndEx::PaintCaption(QPainter& painter, int pane) {
    QRect bar = m_layout.CaptionRect(pane, size());
    if (bar.isEmpty()) {
        return;
    }
    const QPalette& colours = palette();
    const bool active = m_activation.IsActiveIn(PaneWidget(pane));
    const QColor fill = active ? colours.color(QPalette::Highlight) : colours.color(QPalette::Mid);
    const QColor text =
        active ? colours.color(QPalette::HighlightedText) : colours.color(QPalette::Light);
    const QColor face = colours.color(QPalette::Button);
    painter.setPen(face);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    bar.adjust(1, 1, -1, -1);
    painter.setPen(fill);
    painter.drawLine(bar.topLeft(), bar.topRight());
    painter.drawLine(bar.topLeft(), bar.bottomLeft());
    painter.setPen(face);
    painter.drawLine(bar.bottomLeft(), bar.bottomRight());
    painter.drawLine(bar.topRight(), bar.bottomRight());
    bar.adjust(1, 1, -1, -1);
    painter.fillRect(bar, fill);
    painter.setPen(text);
    painter.setFont(font());
    painter.drawText(bar.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     PaneWidget(pane)->windowTitle());
}

int CSplitterWndEx::BarPosition(QPoint point) const {
    const QRect first = m_layout.Cell(0, size());
    return Columns() ? point.x() - first.left() : point.y() - first.top();
}

void CSplitterWndEx::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint point = event->position().toPoint();
    const int pane = m_layout.ViewPaneAt(point, size());
    if (pane >= 0 && PaneWidget(pane)) {
        m_activation.Activate(PaneWidget(pane));
    }
    m_draggingBar = m_layout.IsOnBar(point, size());
}

void CSplitterWndEx::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (m_draggingBar) {
        m_layout.TrackBar(BarPosition(point));
        RecalcLayout();
        return;
    }
    const bool onBar = m_layout.IsOnBar(point, size());
    setCursor(onBar ? (Columns() ? Qt::SplitHCursor : Qt::SplitVCursor) : Qt::ArrowCursor);
}

void CSplitterWndEx::mouseReleaseEvent(QMouseEvent* event) {
    if (m_draggingBar && event->button() == Qt::LeftButton) {
        m_layout.TrackBar(BarPosition(event->position().toPoint()));
        m_draggingBar = false;
        RecalcLayout();
    }
}

} // namespace vm
