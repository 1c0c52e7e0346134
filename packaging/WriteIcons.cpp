// Writes the application's icon for the desktop's icon theme, one PNG per size, from the
// painting the client's menu shows, so the two never differ.
#include "ui/MorvidIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: write-icons DIR NAME SIZE...\n"
                             "Writes DIR/SIZExSIZE/apps/NAME.png for every SIZE.\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool isNumber = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || size < 1) {
            std::fprintf(stderr, "write-icons: '%s' is not a size in pixels\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + "/" + name + ".png";
        if (!QDir().mkpath(folder) || !morvid::MorvidIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "write-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
