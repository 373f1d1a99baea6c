#pragma once

#include <QLabel>
#include <QWidget>

#include <array>

namespace zx {

// One text panel of the status bar; a screen reader hears its text when it changes.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // A property: true where the panel's name is its purpose and then its text.
    static constexpr const char* SaysPurpose = "zxSaysPurpose";
};

// A status bar of four panels: three text panels of fixed widths with centred text and a last
// panel left for the owner's controls. Panels 0 and 1 report double-clicks; panel 2's text colour
// can be set. The bar carries an integer Tag for its owner.
class StatusPanels : public QWidget {
    Q_OBJECT
public:
    static constexpr int TextPanels = 3;

    StatusPanels(const std::array<int, TextPanels>& widths, QWidget* parent = nullptr);

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    QColor PanelTextColor(int panel) const;
    void SetPanelTextColor(int panel, const QColor& color);
    QLabel* Panel(int panel) const { return Panels_.at(static_cast<std::size_t>(panel)); }
    int Tag() const { return Tag_; }
    void SetTag(int tag) { Tag_ = tag; }

signals:
    void PanelDoubleClicked(int panel);
    // Every text set, also one equal to the text before: each is a message of its own.
    void PanelTextSet(int panel, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLabel*, TextPanels> Panels_{};
    int Tag_ = 0;
};

} // namespace zx
