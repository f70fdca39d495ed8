#include "app/SplitterLayout.h"

#include <algorithm>

namespace vm {

bool SplitterLayout::Hide(int pane) {
    if (m_hidden != -1 || (pane != 0 && pane != 1)) {
        return false;
    }
    m_hidden = pane;
    return true;
}

bool SplitterLayout::Show() {
    if (m_hidden == -1) {
        return false;
    }
    m_hidden = -1;
    return true;
}

// Every pane but the last gets its ideal size (0 below the minimum); the last gets the rest.
int SplitterLayout::FirstLength(QSize size) const {
    const int room = std::max(0, Length(size) - kBarWidth);
    const int ideal = m_idealSize < 0 ? Length(size) / 2 : m_idealSize;
    return std::clamp(ideal, 0, room);
}

QRect SplitterLayout::Span(int start, int length, QSize size) const {
    return m_columns ? QRect(start, 0, length, size.height())
                     : QRect(0, start, size.width(), length);
}

QRect SplitterLayout::Cell(int pane, QSize size) const {
    if (!IsPaneVisible(pane) || (pane != 0 && pane != 1)) {
        return {};
    }
    if (m_hidden != -1) {
        return Span(0, Length(size), size);
    }
    const int first = FirstLength(size);
    if (pane == 0) {
        return Span(0, first, size);
    }
    const int start = first + kBarWidth;
    return Span(start, std::max(0, Length(size) - start), size);
}

QRect SplitterLayout::CaptionRect(int pane, QSize size) const {
    const QRect cell = Cell(pane, size);
    if (cell.isEmpty() || !HoldsView(pane)) {
        return {};
    }
    return QRect(cell.left(), cell.top(), cell.width(), std::min(kCaptionHeight, cell.height()));
}

QRect SplitterLayout::PaneRect(int pane, QSize size) const {
    QRect cell = Cell(pane, size);
    if (!cell.isNull() && HoldsView(pane)) {
        cell.setTop(cell.top() + std::min(kCaptionHeight, cell.height()));
    }
    return cell;
}

QRect SplitterLayout::BarRect(QSize size) const {
    if (m_hidden != -1) {
        return {};
    }
    return Span(FirstLength(size), std::min(kBarWidth, Length(size)), size);
}

int SplitterLayout::ViewPaneAt(QPoint point, QSize size) const {
    for (int pane = 0; pane < 2; ++pane) {
        if (HoldsView(pane) && Cell(pane, size).contains(point)) {
            return pane;
        }
    }
    return -1;
}

void SplitterLayout::TrackBar(int position) {
    // Rows measure in the pane's client space, which starts under the caption bar.
    const int caption = !m_columns && HoldsView(0) ? kCaptionHeight : 0;
    const int client = position - caption;
    m_idealSize = client < kMinimumPaneSize ? 0 : client + caption;
}

} // namespace vm
