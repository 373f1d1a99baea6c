// Writes the tool's icon at the sizes desktops use, from the same drawing as the window icon:
// zentrix-make-icons <folder>  ->  <folder>/<n>x<n>/apps/zentrix.png
#include "AppIcon.h"

#include <QDir>
#include <QGuiApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        return 2;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) ||
            !zx::AppIconPixmap(size).save(dir + QStringLiteral("/zentrix.png"))) {
            return 1;
        }
    }
    return 0;
}
