// Build tool: writes the application icon as PNG files for desktop menus, one per size, as
// <folder>/<n>x<n>/apps/vireo-manager.png.
//
//   vireo-icon-export FOLDER SIZE...
#include "res/Icons.h"

#include <QDir>
#include <QString>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fputs("usage: vireo-icon-export FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = dir + QStringLiteral("/vireo-manager.png");
        if (size <= 0 || !QDir().mkpath(dir) || !vireo::AppIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "vireo-icon-export: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
