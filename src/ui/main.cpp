// Until the desktop application exists, `pavo` renders the demonstration picture: one
// pressure stroke in each transfer mode over coloured bands.

#include "demo_picture.h"

#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[])
{
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("pavo-demo.png");
    const QImage picture = render_demo_picture(1200, 800);
    if (picture.isNull() || !picture.save(out, "PNG")) {
        std::fprintf(stderr, "pavo: could not write the demonstration picture to %s\n",
                     qPrintable(out));
        return 1;
    }
    std::printf("Pavo demonstration picture written to %s\n",
                qPrintable(QFileInfo(out).absoluteFilePath()));
    return 0;
}
