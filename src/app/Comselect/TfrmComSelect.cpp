#include "TfrmComSelect.h"

#include "Hints.h"
#include "NumberedList.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>

namespace zx {

TfrmComSelect::TfrmComSelect(const PortNamespace& ports, QWidget* parent)
    : QDialog(parent), Ports_(ports) {
    setObjectName(QStringLiteral("frmComSelect"));
    setWindowTitle(QStringLiteral("Select COM Port"));
    // A dialog border and no title-bar buttons at all.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(258, 119);
    setModal(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(p);

    lblComSelect = new QLabel(QStringLiteral("Please select COM port:"), this);
    lblComSelect->setObjectName(QStringLiteral("lblComSelect"));
    // A wider font (a scaled screen, a fallback) widens the label to the left: it keeps its
    // gap to the list.
    const int labelWidth = std::max(118, lblComSelect->sizeHint().width());
    lblComSelect->setGeometry(9 + 118 - labelWidth, 26, labelWidth, 17);
    SetHint(lblComSelect, QString(), false);

    cbComPorts = new NumberedList(this);
    // Heard by its label, its value the port; typing a port's number picks it.
    cbComPorts->setAccessibleName(lblComSelect->text());
    lblComSelect->setBuddy(cbComPorts);
    cbComPorts->setObjectName(QStringLiteral("cbComPorts"));
    cbComPorts->setEditable(false);
    cbComPorts->setGeometry(128, 24, 121, 21);
    SetHint(cbComPorts, QStringLiteral("Please select a COM port from available com ports"), true);

    btnOk = new FlatButton(QStringLiteral("&OK"), this); // the ultra-flat look
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(48, 80, 75, 25);
    btnOk->setAutoDefault(false);
    SetHint(btnOk, QStringLiteral("Press to open the selected COM port"), true);

    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(136, 80, 75, 25);
    btnCancel->setAutoDefault(false);
    SetHint(btnCancel, QString(), false);

    setTabOrder(cbComPorts, btnOk);
    setTabOrder(btnOk, btnCancel);
    connect(btnOk, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });

    FormCreate(this);
    cbComPorts->setFocus(Qt::TabFocusReason);
}

void TfrmComSelect::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The port list's focus frame shows at once, not only after the first Tab: the style
    // frames the focus only after a keyboard focus change, and showing forgets one.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void TfrmComSelect::FormCreate(QObject*) {
    for (int n = 1; n <= PortNamespace::HighestComNumber; ++n) {
        if (PortAvailable(Ports_, n)) {
            cbComPorts->addItem(QStringLiteral("COM%1").arg(n));
        }
    }
    cbComPorts->setCurrentIndex(cbComPorts->count() > 0 ? 0 : -1);
}

void TfrmComSelect::Preselect(int comNumber) {
    const int at = cbComPorts->findText(QStringLiteral("COM%1").arg(comNumber));
    if (at >= 0) {
        cbComPorts->setCurrentIndex(at);
    }
}

int TfrmComSelect::SelectedPortNumber() const {
    const QString text = cbComPorts->itemText(cbComPorts->currentIndex());
    return text.mid(3, 255).toInt();
}

void TfrmComSelect::keyPressEvent(QKeyEvent* event) {
    // Neither button is the dialog's default or cancel button: Enter and Esc do nothing.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace zx
