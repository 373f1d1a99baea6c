#include "RangeList.h"

#include "Accessible.h"

#include <QAbstractItemView>
#include <QStylePainter>

namespace zx {

RangeList::RangeList(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setMaxVisibleItems(25);
    SpeakChoices(this);
}

void RangeList::AddItem(const QString& text) {
    addItem(text);
    setItemData(count() - 1, Qt::AlignCenter, Qt::TextAlignmentRole);
}

void RangeList::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QString text = option.currentText;
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(field, Qt::AlignCenter, text);
}

void RangeList::showPopup() {
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    const int centre = mapToGlobal(rect().center()).x();
    if (popup != this->window() && popup->width() != width()) {
        popup->move(centre - popup->width() / 2, popup->y());
    }
}

} // namespace zx
