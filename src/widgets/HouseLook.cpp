#include "HouseLook.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QProxyStyle>
#include <QStyleFactory>

namespace zx {
namespace {

// Fusion, with drop-down lists that open under their box as a list (centred entries, the box's
// width) rather than as a menu laid over it.
class HouseStyle : public QProxyStyle {
public:
    HouseStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Debian's fonts-wine keeps it outside the fonts fontconfig knows.
constexpr const char* WineSansSerif = "/usr/share/wine/fonts/ms_sans_serif.ttf";

} // namespace

void PrepareHouseLook() {
    QGuiApplication::setDesktopSettingsAware(false);
}

void ApplyHouseLook() {
    // Its glyphs are bitmaps made for 96 pixels per inch: on a scaled (HiDPI) screen they would
    // stand small and far apart, where an outline font scales crisply.
    if (qApp->devicePixelRatio() == 1.0 && QFile::exists(QString::fromLatin1(WineSansSerif))) {
        QFontDatabase::addApplicationFont(QString::fromLatin1(WineSansSerif));
    }
    QApplication::setStyle(new HouseStyle);
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(WindowFont());
}

QFont WindowFont() {
    QFont font;
    QStringList families{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                         QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans"),
                         QStringLiteral("Sans Serif")};
    if (QGuiApplication::platformName() == QLatin1String("windows")) {
        // Windows' MS Sans Serif is a raster font, and Wine's has bitmaps only: Qt draws
        // neither there. Microsoft Sans Serif is its outline successor with the same metrics;
        // Tahoma stands in where it is missing (Wine).
        families = {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
                    QStringLiteral("Arial")};
    }
    font.setFamilies(families);
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace zx
