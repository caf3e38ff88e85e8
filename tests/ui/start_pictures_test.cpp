// The start copies pictures drawn when the program was built and reads no picture file: what
// the window shows must still be what the SVGs draw, at the screen's scale (run at scales 1, 2
// and 1.5), and the menu bar's overflow icon must still be the style's once it is drawn.

#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QSvgRenderer>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>

#include "frm_main.h"
#include "main_frame.h"
#include "start_style.h"
#include "ui_fixture.h"

namespace keta::test {

namespace {

// `name` drawn now, as the window drew it at every start before.
QImage DrawnNow(const QString& name, QSize size, qreal dpr) {
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/pictures/") + name);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image;
}

QImage Shown(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The largest difference of one colour channel between two images of one size.
int Difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 256;
    int most = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int shift : {0, 8, 16, 24}) {
                most =
                    std::max(most, std::abs(int((p >> shift) & 0xff) - int((q >> shift) & 0xff)));
            }
        }
    }
    return most;
}

bool Blank(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) return false;
        }
    }
    return true;
}

bool ImageFormatPluginLoaded() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

}  // namespace

class StartPicturesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseStartStyle(); }

    void PicturesAreWhatTheSvgsDraw() {
        Program p;
        FrmMain& w = p.Start();
        const qreal dpr = qApp->devicePixelRatio();
        // Copied at scales 1 and 2; at another scale drawn at start by Qt's SVG reader, whose
        // edges may round a shade differently.
        const int allowed = dpr == 1.0 || dpr == 2.0 ? 0 : 2;
        const struct {
            QImage shown;
            const char* svg;
            QSize size;
        } pictures[] = {
            {Shown(w.Image1->pixmap()), "title.svg", {306, 61}},
            {Shown(w.imgStart[1]->pixmap()), "light_red.svg", {32, 32}},
            {Shown(w.imgStart[3]->pixmap()), "light_green.svg", {32, 32}},
            {Shown(w.cmdStart->icon().pixmap(QSize(32, 32), dpr)), "hand_key.svg", {32, 32}},
            {Shown(w.cmdEnd->icon().pixmap(QSize(16, 16), dpr)), "exit_door.svg", {16, 16}},
            {Shown(w.chkAs->icon().pixmap(QSize(16, 16), dpr)), "floppy_small.svg", {16, 16}},
        };
        for (const auto& picture : pictures) {
            const QImage now = DrawnNow(QString::fromLatin1(picture.svg), picture.size, dpr);
            QVERIFY2(!Blank(now), picture.svg);
            QVERIFY2(Difference(picture.shown, now) <= allowed, picture.svg);
        }
    }

    void StartReadsNoPictureFile() {
        Program p;
        p.Start();
        QCoreApplication::processEvents();
        if (qApp->devicePixelRatio() == 1.0 || qApp->devicePixelRatio() == 2.0) {
            QVERIFY(!ImageFormatPluginLoaded());
        }
        // The overflow button's icon, asked for at last, is the style's own.
        auto* overflow = p.shell->frame().MenuBar()->findChild<QToolButton*>(
            QStringLiteral("qt_menubar_ext_button"));
        QVERIFY(overflow != nullptr);
        auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
        QVERIFY(style != nullptr);
        const QIcon own =
            style->baseStyle()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        QVERIFY(!own.isNull());
        const QPixmap shown = overflow->icon().pixmap(16, 16), drawn = own.pixmap(16, 16);
        QCOMPARE(shown.devicePixelRatio(), drawn.devicePixelRatio());
        QCOMPARE(Difference(Shown(shown), Shown(drawn)), 0);
    }
};

}  // namespace keta::test

QTEST_MAIN(keta::test::StartPicturesTest)
#include "start_pictures_test.moc"
