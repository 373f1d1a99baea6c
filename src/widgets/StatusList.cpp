#include "StatusList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>

namespace zx {

class StatusListDelegate : public QStyledItemDelegate {
public:
    explicit StatusListDelegate(StatusList* list) : QStyledItemDelegate(list), List_(list) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
        const QColor color = List_->CellColor(index.row(), index.column());
        option->palette.setColor(QPalette::Text, color);
        option->palette.setColor(QPalette::HighlightedText, color);
        option->palette.setColor(QPalette::Disabled, QPalette::Text, color);
    }

private:
    StatusList* List_;
};

StatusList::StatusList(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    setItemDelegate(new StatusListDelegate(this));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // A disabled list gets no right-click at all, so it never opens its menu.
        if (PopupMenu_ != nullptr && isEnabled()) {
            PopupMenu_->popup(viewport()->mapToGlobal(at));
        }
    });
}

void StatusList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        const QModelIndex current = currentIndex();
        const QRect at = current.isValid() ? visualRect(current) : viewport()->rect();
        emit customContextMenuRequested(at.center());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void StatusList::SetColumns(const std::vector<Column>& columns) {
    Columns_ = columns;
    setColumnCount(static_cast<int>(columns.size()));
    QStringList captions;
    for (const Column& c : columns) {
        captions << c.Caption;
    }
    setHeaderLabels(captions);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        header()->setSectionResizeMode(i, QHeaderView::Fixed);
        header()->resizeSection(i, columns[static_cast<std::size_t>(i)].Width);
        headerItem()->setTextAlignment(i, columns[static_cast<std::size_t>(i)].Alignment |
                                              Qt::AlignVCenter);
    }
}

void StatusList::AddRow(const QString& caption, const QString& sub0, const QString& sub1) {
    auto* item = new QTreeWidgetItem(this, QStringList{caption, sub0, sub1});
    for (int i = 0; i < static_cast<int>(Columns_.size()); ++i) {
        item->setTextAlignment(i,
                               Columns_[static_cast<std::size_t>(i)].Alignment | Qt::AlignVCenter);
    }
}

QString StatusList::SubItem(int row, int index) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? item->text(index + 1) : QString();
}

void StatusList::SetSubItem(int row, int index, const QString& text) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setText(index + 1, text);
    }
}

QColor StatusList::CellColor(int row, int column) const {
    QColor color = palette().color(QPalette::Text);
    if (column >= 1 && OnDraw_) {
        OnDraw_(const_cast<StatusList*>(this), row, column, color);
    }
    return color;
}

void StatusList::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    // A dotted rectangle inside the border, as lists show the focus where no row is current
    // (the style draws a focus frame only for rows).
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.drawRect(viewport()->rect().adjusted(1, 1, -2, -2));
}

void StatusList::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    viewport()->update();
}

void StatusList::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    viewport()->update();
}

} // namespace zx
