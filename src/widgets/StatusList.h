#pragma once

#include <QTreeWidget>

#include <functional>

class QMenu;

namespace zx {

class StatusList;

// Asked before a sub-item is drawn: (list, row, sub-item number 1.., font colour in/out).
using CustomDrawSubItem =
    std::function<void(StatusList* list, int row, int subItem, QColor& fontColor)>;

// Report-style list: fixed column headers, read-only, a popup menu on right-click (only while
// enabled), and a per-cell font colour chosen by the window before each sub-item is drawn.
class StatusList : public QTreeWidget {
    Q_OBJECT
public:
    struct Column {
        QString Caption;
        int Width;
        Qt::Alignment Alignment;
    };

    explicit StatusList(QWidget* parent = nullptr);
    void SetColumns(const std::vector<Column>& columns);
    void SetPopupMenu(QMenu* menu) { PopupMenu_ = menu; }
    QMenu* PopupMenu() const { return PopupMenu_; }
    void SetCustomDrawSubItem(CustomDrawSubItem handler) { OnDraw_ = std::move(handler); }

    void ClearRows() { clear(); }
    void AddRow(const QString& caption, const QString& sub0, const QString& sub1);
    int RowCount() const { return topLevelItemCount(); }
    // Sub-item index 0 is the second column, as in a report list.
    QString SubItem(int row, int index) const;
    void SetSubItem(int row, int index, const QString& text);
    // The font colour a cell is drawn with now (as the custom draw hook decides).
    QColor CellColor(int row, int column) const;

protected:
    // With no row selected a list shows no focus of its own: the whole list shows it.
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    // Shift+F10 opens the menu as the Menu key does: a laptop may have no Menu key.
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class StatusListDelegate;
    QMenu* PopupMenu_ = nullptr;
    CustomDrawSubItem OnDraw_;
    std::vector<Column> Columns_;
};

} // namespace zx
