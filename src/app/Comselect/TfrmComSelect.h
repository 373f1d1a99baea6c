#pragma once

#include "FlatButton.h"
#include "PortNamespace.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace zx {

// The port dialog: lists the COM ports present, COM1 to COM50 in ascending order, and returns
// the chosen one. Created, scanned and destroyed on each use.
class TfrmComSelect : public QDialog {
    Q_OBJECT
public:
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    explicit TfrmComSelect(const PortNamespace& ports, QWidget* parent = nullptr);

    QLabel* lblComSelect = nullptr;
    QComboBox* cbComPorts = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    void FormCreate(QObject* Sender);
    // The number of the selected entry ("COM12" gives 12); 0 when nothing is selected.
    int SelectedPortNumber() const;
    // Chooses the entry of this COM number, where the list has it (the port already open).
    void Preselect(int comNumber);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    const PortNamespace& Ports_;
};

} // namespace zx
