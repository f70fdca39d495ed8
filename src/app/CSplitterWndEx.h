#pragma once
// A two-pane splitter whose view panes carry an 18-pixel caption bar with the view's title,
// in the active colours for the active view. One pane can be hidden and shown again, pane 0
// can hold several views of which one is shown (the switchable pane), a click on a caption bar
// activates its view, and pane 1 can hold a nested splitter. The geometry lives in
// SplitterLayout.
#include "app/SplitterLayout.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

namespace vm {

class CViewActivation;

class CSplitterWndEx : public QWidget {
    Q_OBJECT
public:
    using ViewFactory = std::function<QWidget*(QWidget* parent)>;

    // columns: the panes side by side; otherwise one above the other.
    CSplitterWndEx(bool columns, CViewActivation& activation, QWidget* parent = nullptr);

    bool Columns() const { return m_layout.Columns(); }
    const SplitterLayout& Layout() const { return m_layout; }

    // Creates a view in pane 0 and shows it there, hiding the view shown before. Returns its
    // index among the pane's views, or -1 (nothing changed) when the factory made no view.
    int AddView(const ViewFactory& create);
    // Shows views[index] in pane 0; throws InvalidArgumentException for a bad index.
    void SwitchView(int index);
    int CurrentView() const { return m_currentView; }
    int ViewCount() const { return static_cast<int>(m_views.size()); }
    QWidget* View(int index) const;

    // Puts a view made by create into pane (0 or 1); returns it, or nullptr.
    QWidget* CreateView(int pane, const ViewFactory& create);
    // A splitter of two rows in pane 1 with a view of each factory; the caller keeps it.
    CSplitterWndEx* CreateNested(const ViewFactory& create1, const ViewFactory& create2);

    // Hiding acts only when no pane is hidden; showing brings back the hidden one.
    void HideColumn(int column) { HidePane(column); }
    void HideRow(int row) { HidePane(row); }
    void ShowColumn() { ShowPane(); }
    void ShowRow() { ShowPane(); }
    void HidePane(int pane);
    void ShowPane();
    int HiddenPane() const { return m_layout.HiddenPane(); }

    // The window in pane (a view or the nested splitter), shown or not.
    QWidget* PaneWidget(int pane) const;
    // The first view shown in this splitter or the nested one, or nullptr.
    QWidget* FirstVisibleView() const;
    // Sets the first pane's size along the split (window pixels).
    void SetFirstPaneSize(int size);
    QRect CaptionRect(int pane) const { return m_layout.CaptionRect(pane, size()); }
    QSize sizeHint() const override { return {640, 480}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void RecalcLayout();
    void ShowInPane0(QWidget* view);
    void PaintCaption(QPainter& painter, int pane);
    // Moves the activation out of pane before it is hidden.
    void MoveActivationFrom(int pane);
    int BarPosition(QPoint point) const; // along the split axis, splitter pixels

    SplitterLayout m_layout;
    CViewActivation& m_activation;
    QPointer<QWidget> m_panes[2];
    std::vector<QPointer<QWidget>> m_views; // the switchable pane's views (not owned)
    int m_currentView = 0;
    bool m_draggingBar = false;
};

} // namespace vm
