// Builds every control of the main window at its place, in twips, with its texts, fonts and
// colours. Within one container a control built earlier lies in front of one built later.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <cstring>
#include <limits>

#include "fonts.h"
#include "frm_main.h"
#include "history_grid.h"
#include "history_model.h"
#include "twips.h"

// Resources compiled into a static library must be registered by hand.
static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace keta {
namespace {

constexpr int kClientWidth = 9465;
constexpr int kClientHeight = 6780;
const QColor kComboBackground(255, 255, 240);

// The picture `name` at `size`, sharp at the screen's scale. At scales 1 and 2 its pixels were
// drawn when the program was built and are only copied; at another scale the SVG image reader
// draws it now.
QPixmap Picture(const QString& name, QSize size) {
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    const QSize pixels = size * dpr;
    QImage image;
    if (dpr == 1.0 || dpr == 2.0) {
        QFile drawn(QStringLiteral(":/drawn/%1_%2x%3@%4x.argb")
                        .arg(QFileInfo(name).completeBaseName())
                        .arg(size.width())
                        .arg(size.height())
                        .arg(static_cast<int>(dpr)));
        const QByteArray bits = drawn.open(QIODevice::ReadOnly) ? drawn.readAll() : QByteArray();
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        if (bits.size() == image.sizeInBytes()) {
            std::memcpy(image.bits(), bits.constData(), static_cast<std::size_t>(bits.size()));
        } else {
            image = QImage();
        }
    }
    if (image.isNull()) {
        QImageReader reader(QStringLiteral(":/pictures/") + name);
        reader.setScaledSize(pixels);
        image = reader.read();
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

QIcon IconPicture(const QString& name) {
    QIcon icon;
    icon.addPixmap(Picture(name, {32, 32}));
    icon.addPixmap(Picture(name, {16, 16}));
    return icon;
}

template <typename W>
W* Place(W* widget, const char* name, QRect rect) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    return widget;
}

QToolButton* PictureButton(QWidget* parent, const char* name, int left, const QString& picture,
                           const QString& caption, const QString& tooltip) {
    auto* button = Place(new QToolButton(parent), name, TwipsRect(left, 150, 840, 915));
    button->setIcon(IconPicture(picture));
    button->setIconSize({32, 32});
    button->setText(caption);
    button->setToolTip(tooltip);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QLabel* BorderedLabel(QWidget* parent, const char* name, QRect rect, const QString& text,
                      double points, const QColor& colour) {
    auto* label = Place(new QLabel(text, parent), name, rect);
    label->setFont(GothicFont(points));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
    // The border is black whatever the text's colour.
    label->setStyleSheet(
        QStringLiteral("QLabel { border: 1px solid black; color: %1; }").arg(colour.name()));
    return label;
}

QFrame* Bar(QWidget* parent, const char* name, const QColor& fill) {
    auto* bar = Place(new QFrame(parent), name, TwipsRect(kTimeBarTwips));
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, fill);
    bar->setPalette(palette);
    return bar;
}

QFrame* Line(QWidget* parent, const char* name, int top, const QColor& colour) {
    const int x0 = TwipsToPixels(150), x1 = TwipsToPixels(9300);
    auto* line = Place(new QFrame(parent), name, QRect(x0, TwipsToPixels(top), x1 - x0 + 1, 1));
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

QFrame* UntitledFrame(QWidget* parent, const char* name, QRect rect) {
    auto* frame = Place(new QFrame(parent), name, rect);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);  // an etched line, like a titleless group
    return frame;
}

}  // namespace

QIcon ProgramIcon() {
    InitPictureResources();
    return IconPicture(QStringLiteral("hand_key.svg"));
}

void FrmMain::BuildTopStrip() {
    InitPictureResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("ケタトビ"));
    setWindowIcon(ProgramIcon());
    setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
    // A fixed border: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

    // Stacking follows the order of the window description: earlier lies in front, so the
    // controls are created last-first and each new one raised above the others.
    Line1[0] = Line(this, "Line1_0", 1275, Qt::white);
    Line1[1] = Line(this, "Line1_1", 1260, Qt::black);
    Image1 = Place(new QLabel(this), "Image1", TwipsRect(150, 150, 4590, 915));
    Image1->setPixmap(Picture(QStringLiteral("title.svg"), {306, 61}));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Frame1 = UntitledFrame(this, "Frame1", TwipsRect(90, 1305, 9240, 5370));

    cmdStart = PictureButton(this, "cmdStart", 5175, QStringLiteral("hand_key.svg"),
                             QStringLiteral("スタート"), QStringLiteral("ゲームをスタートします"));
    cmdHozon = PictureButton(this, "cmdHozon", 6000, QStringLiteral("floppy.svg"),
                             QStringLiteral("保存"), QStringLiteral("データを保存します"));
    cmdClear = PictureButton(this, "cmdClear", 6825, QStringLiteral("sheets.svg"),
                             QStringLiteral("クリア"), QStringLiteral("履歴データをクリアします"));
    cmdHelp = PictureButton(this, "cmdHelp", 7650, QStringLiteral("help_disc.svg"),
                            QStringLiteral("ヘルプ"), QStringLiteral("ヘルプファイルを開きます"));
    cmdEnd = PictureButton(this, "cmdEnd", 8475, QStringLiteral("exit_door.svg"),
                           QStringLiteral("終了"), QStringLiteral("プログラムを終了します"));
}

void FrmMain::BuildSettingsArea() {
    for (int k = kLightCount; k >= 1; --k) {  // image 1 ends in front
        static const char* names[] = {nullptr, "imgStart_1", "imgStart_2", "imgStart_3"};
        static const char* files[] = {nullptr, "light_red.svg", "light_yellow.svg",
                                      "light_green.svg"};
        imgStart[k] = Place(new QLabel(Frame1), names[k], TwipsRect(180, 270, 480, 480));
        imgStart[k]->setPixmap(Picture(QString::fromLatin1(files[k]), {32, 32}));
    }

    Label1[1] = Place(new QLabel(QStringLiteral("プレイ秒数"), Frame1), "Label1_1",
                      TwipsRect(1125, 195, 1155, 330));
    Label1[0] = Place(new QLabel(QStringLiteral("モード"), Frame1), "Label1_0",
                      TwipsRect(2400, 195, 705, 330));
    for (QLabel* label : Label1) {
        label->setFont(GothicFont(11.25));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    auto combo = [this](const char* name, QRect rect) {
        auto* box = Place(new ListPickCombo(Frame1), name, rect);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);  // typed text never joins the list
        box->setCompleter(nullptr);                 // and is never completed behind the user
        box->setFont(GothicFont(14.25));
        box->setEditText(QStringLiteral("Combo1"));
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, kComboBackground);
        box->setPalette(palette);
        box->lineEdit()->setPalette(palette);
        return box;
    };
    cboJikan = combo("cboJikan", TwipsRect(1125, 450, 1065, 405));
    cboMode = combo("cboMode", TwipsRect(2325, 450, 840, 405));

    chkAs = Place(new QToolButton(Frame1), "chkAs", TwipsRect(3285, 405, 420, 420));
    chkAs->setCheckable(true);
    chkAs->setChecked(true);
    chkAs->setIcon(QIcon(Picture(QStringLiteral("floppy_small.svg"), {16, 16})));
    chkAs->setIconSize({16, 16});
    chkAs->setToolTip(QStringLiteral("履歴の自動保存を制御します"));
    chkAs->setFocusPolicy(Qt::StrongFocus);

    Frame2 = UntitledFrame(Frame1, "Frame2", TwipsRect(3870, 135, 5100, 735));
}

void FrmMain::BuildResultLabels() {
    const double points = 20.25;
    lblOk = BorderedLabel(Frame2, "lblOk", TwipsRect(90, 180, 780, 465), QStringLiteral("999"),
                          points, QColor(0, 128, 0));
    lblNg = BorderedLabel(Frame2, "lblNg", TwipsRect(945, 180, 780, 465), QStringLiteral("999"),
                          points, QColor(255, 0, 0));
    lblRitu = BorderedLabel(Frame2, "lblRitu", TwipsRect(1800, 180, 1455, 465),
                            QStringLiteral("100.0%"), points, QColor(0, 0, 0));
    lblByou = BorderedLabel(Frame2, "lblByou", TwipsRect(3330, 180, 1680, 465),
                            QStringLiteral("2.63/秒"), points, QColor(0, 0, 128));
}

void FrmMain::BuildDrillArea() {
    shpJikanB = Bar(Frame1, "shpJikanB", QColor(255, 0, 0));
    shpJikanK = Bar(Frame1, "shpJikanK", QColor(0, 255, 0));
    barWidthTwips_ = kTimeBarTwips.width;

    for (int j = 1; j <= kDigitCount; ++j) {
        const QByteArray name = "lblMondai_" + QByteArray::number(j);
        lblMondai[j] =
            BorderedLabel(Frame1, name.constData(), TwipsRect(225 + 585 * (j - 1), 1080, 555, 975),
                          QStringLiteral("8"), 48, palette().color(QPalette::WindowText));
    }
    for (int i = 1; i <= kBoxCount; ++i) {
        const QByteArray name = "txtKaitou_" + QByteArray::number(i);
        auto* box = Place(new QLineEdit(Frame1), name.constData(),
                          TwipsRect(495 + 585 * (i - 1), 2115, 570, 975));
        box->setFont(GothicFont(48));
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(std::numeric_limits<int>::max());  // no limit of the box's own
        box->setTextMargins(0, 0, 0, 0);
        box->setContentsMargins(0, 0, 0, 0);
        // The input method starts off; entering the box switches it off again (see FrmMain).
        box->setAttribute(Qt::WA_InputMethodEnabled, false);
        box->setText(i == 1 ? QStringLiteral("8") : QString());
        txtKaitou[i] = box;
    }
}

void FrmMain::BuildHistoryGrid() {
    msgRireki = Place(new HistoryGrid(*historyModel_, Frame1), "msgRireki",
                      TwipsRect(225, 3225, 8790, 1965));
    msgRireki->setFont(GothicFont(9));
    HistoryModel* model = historyModel_.get();
    connect(model, &HistoryModel::columnWidthChanged, msgRireki, &HistoryGrid::SetGridColumnWidth);
    connect(model, &HistoryModel::cornerChanged, msgRireki,
            [this, model] { msgRireki->SetCornerText(model->CornerText()); });
    connect(model, &HistoryModel::topRowChanged, msgRireki, &HistoryGrid::ShowGridRowFirst);
}

void FrmMain::SetStacking() {
    // Each container's controls in the order of the window description: one listed earlier
    // lies in front of one listed later, so they are raised last-first.
    const auto stack = [](const QList<QWidget*>& frontToBack) {
        for (qsizetype k = frontToBack.size() - 1; k >= 0; --k) frontToBack[k]->raise();
    };
    stack({cmdEnd, cmdHelp, cmdClear, cmdHozon, cmdStart, Frame1, Image1, Line1[0], Line1[1]});
    QList<QWidget*> drill{msgRireki, cboMode, chkAs, Frame2, cboJikan};
    for (int i = 1; i <= kBoxCount; ++i) drill << txtKaitou[i];
    drill << Label1[0] << Label1[1];
    for (int k = 1; k <= kLightCount; ++k) drill << imgStart[k];
    drill << shpJikanK;
    for (int j = 1; j <= kDigitCount; ++j) drill << lblMondai[j];
    drill << shpJikanB;
    stack(drill);
    stack({lblByou, lblRitu, lblNg, lblOk});
}

void FrmMain::SetTabOrder() {
    QList<QWidget*> order{cmdStart, cmdHozon, cmdClear, cmdHelp, cmdEnd};
    for (int i = kBoxCount; i >= 1; --i) order.append(txtKaitou[i]);
    order.append({cboJikan, chkAs, cboMode, msgRireki});
    for (qsizetype k = 1; k < order.size(); ++k) setTabOrder(order[k - 1], order[k]);
}

}  // namespace keta
