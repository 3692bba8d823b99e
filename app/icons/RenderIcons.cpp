// Writes the program's icon, drawn by app/Artwork.cpp, as the PNG files of the hicolor icon
// theme: <dir>/<n>x<n>/apps/trilo-programmer.png for each size the desktop asks for.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/Artwork.h"

int main(int argc, char** argv) {
    // The application gives the large sizes their lettering's font.
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <icon directory>\n", argv[0]);
        return 2;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) ||
            !trilo::gui::iconImage(size).save(dir + QStringLiteral("/trilo-programmer.png"))) {
            std::fprintf(stderr, "cannot write the %d pixel icon in %s\n", size, qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
