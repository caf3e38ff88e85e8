// Build tool: draws the main window's pictures once, at the sizes the window shows them and at
// the screen scales 1 and 2, so that a start only copies them. Each is written as raw
// premultiplied 32-bit ARGB pixels, as QImage keeps them.
// Usage: draw_pictures SVG_FOLDER OUTPUT_FOLDER NAME.svg:WIDTHxHEIGHT...
// Writes OUTPUT_FOLDER/<NAME>_<WIDTH>x<HEIGHT>@<SCALE>x.argb.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: draw_pictures SVG_FOLDER OUTPUT_FOLDER NAME.svg:WxH...\n");
        return 2;
    }
    const QDir from(QString::fromLocal8Bit(argv[1]));
    const QDir to(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const QString picture = QString::fromLocal8Bit(argv[i]);
        const QStringList parts = picture.split(QLatin1Char(':'));
        const QStringList size = parts.value(1).split(QLatin1Char('x'));
        const int width = size.value(0).toInt(), height = size.value(1).toInt();
        QSvgRenderer renderer(from.filePath(parts.value(0)));
        if (parts.size() != 2 || width <= 0 || height <= 0 || !renderer.isValid()) {
            std::fprintf(stderr, "draw_pictures: cannot draw %s\n", argv[i]);
            return 1;
        }
        for (int scale : {1, 2}) {
            // As the window drew them at every start: a transparent image, the picture over it.
            QImage image(width * scale, height * scale, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter);
            painter.end();
            const QString name = QStringLiteral("%1_%2x%3@%4x.argb")
                                     .arg(QFileInfo(parts[0]).completeBaseName())
                                     .arg(width)
                                     .arg(height)
                                     .arg(scale);
            QFile out(to.filePath(name));
            const auto bytes = static_cast<qint64>(image.sizeInBytes());
            if (!out.open(QIODevice::WriteOnly) ||
                out.write(reinterpret_cast<const char*>(image.constBits()), bytes) != bytes) {
                std::fprintf(stderr, "draw_pictures: cannot write %s\n",
                             qPrintable(out.fileName()));
                return 1;
            }
        }
    }
    return 0;
}
