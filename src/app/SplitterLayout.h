#pragma once
// The geometry rules of a two-pane splitter with caption bars: where each pane's cell, caption
// bar and view lie, which pane is hidden, and how dragging the bar sets the first pane's size.
// All positions and sizes are window pixels in the splitter's own coordinates.
#include <QPoint>
#include <QRect>
#include <QSize>

namespace vm {

class SplitterLayout {
public:
    static constexpr int kCaptionHeight = 18;
    // Width of the bar between the panes; painted 2 pixels narrower.
    static constexpr int kBarWidth = 6;
    // A pane dragged smaller than this (pane client pixels) disappears.
    static constexpr int kMinimumPaneSize = 10;

    // columns: the panes lie side by side; otherwise one above the other.
    explicit SplitterLayout(bool columns) : m_columns(columns) {}

    bool Columns() const { return m_columns; }

    // -1 when both panes show.
    int HiddenPane() const { return m_hidden; }
    bool IsPaneVisible(int pane) const { return pane != m_hidden; }
    // Hides pane; does nothing when a pane is already hidden or pane is not 0 or 1.
    bool Hide(int pane);
    // Brings the hidden pane back; does nothing when none is hidden.
    bool Show();

    // The first pane's size along the split; -1 (the start) splits the length in halves.
    int IdealSize() const { return m_idealSize; }
    void SetIdealSize(int size) { m_idealSize = size; }

    // Which panes hold a view (with a caption bar) rather than another splitter.
    void SetHoldsView(int pane, bool holdsView) { m_holdsView[pane & 1] = holdsView; }
    bool HoldsView(int pane) const { return m_holdsView[pane & 1]; }

    // The whole cell of a pane for a splitter of the given size; empty for a hidden pane.
    QRect Cell(int pane, QSize size) const;
    // The caption bar: the top 18 pixels of a view pane's cell; empty for other panes.
    QRect CaptionRect(int pane, QSize size) const;
    // Where the pane's window goes: below the caption for a view, the whole cell otherwise.
    QRect PaneRect(int pane, QSize size) const;
    // The bar between the panes; empty when a pane is hidden.
    QRect BarRect(QSize size) const;

    // The visible view pane whose cell (caption included) contains point, or -1.
    int ViewPaneAt(QPoint point, QSize size) const;
    bool IsOnBar(QPoint point, QSize size) const { return BarRect(size).contains(point); }

    // Ends a bar drag at position (splitter pixels along the split axis): the first pane's new
    // size. For rows the drag is measured in the pane's client space, below its caption bar;
    // a position under the minimum makes the first pane disappear (size 0).
    void TrackBar(int position);

private:
    int Length(QSize size) const { return m_columns ? size.width() : size.height(); }
    // Sizes along the split of the first and the second pane.
    int FirstLength(QSize size) const;
    QRect Span(int start, int length, QSize size) const;

    bool m_columns;
    int m_hidden = -1;
    int m_idealSize = -1;
    bool m_holdsView[2] = {true, true};
};

} // namespace vm
