// SPDX-License-Identifier: MIT
// Purpose: grabs an X window into a PNG and prints its size and the colours of the pixels asked for.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

// grab_window <window id hex> <out.png> [x,y ...]
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("uso: grab_window ID_HEX SALIDA.png [x,y ...]\n", stderr);
        return 2;
    }
    bool ok = false;
    const WId id = QString::fromLocal8Bit(argv[1]).toULongLong(&ok, 16);
    if (!ok) {
        std::fprintf(stderr, "grab_window: '%s' no es un id de ventana\n", argv[1]);
        return 2;
    }
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(id).toImage();
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "grab_window: no se pudo capturar la ventana %s\n", argv[1]);
        return 1;
    }
    std::printf("%dx%d\n", image.width(), image.height());
    for (int i = 3; i < argc; ++i) {
        const QStringList xy = QString::fromLocal8Bit(argv[i]).split(QLatin1Char(','));
        if (xy.size() != 2)
            return 2;
        std::printf("%s\n", qPrintable(image.pixelColor(xy[0].toInt(), xy[1].toInt()).name()));
    }
    return 0;
}
