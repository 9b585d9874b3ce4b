// Build-time helper: renders the application icon's SVG to a square PNG for the desktops
// and launchers that want a bitmap beside the scalable icon.
//
//   render_icon SVG PNG SIZE
//
// It reads the SVG through Qt's SVG image plugin, so it needs nothing the program does not
// already install. The icon has no text, so no QGuiApplication (and no platform plugin) is
// needed to paint it.

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSize>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: render_icon SVG PNG SIZE\n");
        return 2;
    }
    bool sizeOk = false;
    const int size = QString::fromLocal8Bit(argv[3]).toInt(&sizeOk);
    if (!sizeOk || size < 1 || size > 4096) {
        std::fprintf(stderr, "render_icon: bad size %s\n", argv[3]);
        return 2;
    }

    QImageReader reader(QString::fromLocal8Bit(argv[1]), "svg");
    reader.setScaledSize(QSize(size, size));
    QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "render_icon: cannot read %s: %s\n", argv[1],
                     qPrintable(reader.errorString()));
        return 1;
    }

    // The resolution would otherwise come from the screen of the machine that builds.
    constexpr int dotsPerMetreAt96Dpi = 3780;
    image.setDotsPerMeterX(dotsPerMetreAt96Dpi);
    image.setDotsPerMeterY(dotsPerMetreAt96Dpi);

    QImageWriter writer(QString::fromLocal8Bit(argv[2]), "png");
    if (!writer.write(image.convertToFormat(QImage::Format_ARGB32))) {
        std::fprintf(stderr, "render_icon: cannot write %s: %s\n", argv[2],
                     qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}
