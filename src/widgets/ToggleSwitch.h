#pragma once

#include <QWidget>

namespace zx {

// A two-state vertical switch. A left press in the upper half turns it on when it is off, in
// the lower half off when it is on; the click is raised when the button is released over it.
// Setting the state from the program only redraws. Disabled, it still shows its state. From
// the keyboard, Space throws it as a press in the other half would.
class ToggleSwitch : public QWidget {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    bool On() const { return On_; }
    void SetOn(bool on);
    void SetTexts(const QString& on, const QString& off);
    const QString& TextOn() const { return TextOn_; }
    const QString& TextOff() const { return TextOff_; }
    // What a press in the half that turns it does, for keyboardless users' assistive tools.
    void Flip();
    void SetColors(const QColor& on, const QColor& off);

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool On_ = false;
    bool Pressed_ = false;
    QString TextOn_ = QStringLiteral("ON");
    QString TextOff_ = QStringLiteral("OFF");
    QColor ColorOn_ = Qt::red;
    QColor ColorOff_ = Qt::green;
};

} // namespace zx
