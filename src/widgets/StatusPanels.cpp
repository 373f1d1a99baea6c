#include "StatusPanels.h"

#include "Accessible.h"

#include <QEvent>
#include <QLabel>

namespace zx {

StatusPanels::StatusPanels(const std::array<int, TextPanels>& widths, QWidget* parent)
    : QWidget(parent) {
    EnsureAccessibleWidgets();
    int left = 0;
    for (int i = 0; i < TextPanels; ++i) {
        auto* label = new StatusPanel(this);
        label->setObjectName(QStringLiteral("sbPanel%1").arg(i));
        // What a screen reader calls a panel while it shows nothing.
        label->setAccessibleName(QStringList{
            QStringLiteral("Port"), QStringLiteral("Module version"), QStringLiteral("Status")}
                                     .at(i));
        // The port and version panels say what they are before what they show; the status
        // line is named by its message alone, each message a new name.
        label->setProperty(StatusPanel::SaysPurpose, i < 2);
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText); // the version text is the module's, not markup
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setGeometry(left, 2, widths[static_cast<std::size_t>(i)] - 2, 20);
        label->installEventFilter(this);
        Panels_[static_cast<std::size_t>(i)] = label;
        left += widths[static_cast<std::size_t>(i)];
    }
}

QString StatusPanels::PanelText(int panel) const {
    return Panel(panel)->text();
}

void StatusPanels::SetPanelText(int panel, const QString& text) {
    QLabel* label = Panel(panel);
    // A text a little wider than its panel (in a fallback font wider than the layout's) is drawn
    // narrower, never cut at both ends: "COM49,9600,N,8,1" must be read whole.
    QFont narrow = font();
    const int room = label->contentsRect().width();
    for (int stretch = 100; stretch > 50 && QFontMetrics(narrow).horizontalAdvance(text) > room;
         stretch -= 2) {
        narrow.setStretch(stretch - 2);
    }
    if (label->font() != narrow) {
        label->setFont(narrow);
    }
    const QString before = label->text();
    label->setText(text);
    AnnounceText(label, before);
    emit PanelTextSet(panel, text);
}

QColor StatusPanels::PanelTextColor(int panel) const {
    return Panel(panel)->palette().color(QPalette::WindowText);
}

void StatusPanels::SetPanelTextColor(int panel, const QColor& color) {
    QPalette p = Panel(panel)->palette();
    p.setColor(QPalette::WindowText, color);
    Panel(panel)->setPalette(p);
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < 2; ++i) {
            if (watched == Panels_[static_cast<std::size_t>(i)]) {
                emit PanelDoubleClicked(i);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zx
