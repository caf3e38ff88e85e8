// The session window's two pages, the settings and the work, and the settings read from and
// written to their controls.

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "answer_row.h"
#include "fonts.h"
#include "form_row.h"
#include "session_window.h"

namespace keta {
namespace {

QSpinBox* SpinBox(int low, int high, const QString& suffix) {
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setSuffix(suffix);
    return box;
}

}  // namespace

QString SessionWindow::RowStyle(const QString& colour) {
    // The cue's frame is wide and fills the gaps between the boxes, so that it is seen from the
    // corner of an eye on the row; the same width at rest keeps the row where it is.
    return colour == QStringLiteral("transparent")
               ? QStringLiteral("QFrame#sessionRow { border: 6px solid transparent; }")
               : QStringLiteral("QFrame#sessionRow { border: 6px solid %1; background: #ffe2b8; }")
                     .arg(colour);
}

QWidget* SessionWindow::BuildSettingsPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    lineSeconds_ = AddRow(*form, QStringLiteral("行の時間"),
                          SpinBox(SessionSettings::kMinLineSeconds,
                                  SessionSettings::kMaxLineSeconds, QStringLiteral(" 秒")),
                          QStringLiteral("lineSeconds"));
    firstLines_ = AddRow(*form, QStringLiteral("前半の行数"),
                         SpinBox(SessionSettings::kMinFirstLines, SessionSettings::kMaxLines, {}),
                         QStringLiteral("firstHalfLines"));
    secondLines_ =
        AddRow(*form, QStringLiteral("後半の行数"), SpinBox(0, SessionSettings::kMaxLines, {}),
               QStringLiteral("secondHalfLines"));
    secondLines_->setSpecialValueText(QStringLiteral("0（前半のみ）"));
    restMinutes_ = AddRow(*form, QStringLiteral("休憩"),
                          SpinBox(0, SessionSettings::kMaxRestMinutes, QStringLiteral(" 分")),
                          QStringLiteral("restMinutes"));
    mode_ = AddRow(*form, QStringLiteral("モード"), new QComboBox, QStringLiteral("mode"));
    mode_->addItems({QStringLiteral("＋"), QStringLiteral("－"), QStringLiteral("交互")});
    showMarks_ =
        AddRow(*form, QStringLiteral("答え合わせ"), new QCheckBox, QStringLiteral("showMarks"));
    showMarks_->setToolTip(
        QStringLiteral("入れるたびに正誤の色を付けます（紙の検査では分かりません）"));
    showTimeLeft_ = AddRow(*form, QStringLiteral("残り時間を表示"), new QCheckBox,
                           QStringLiteral("showTimeLeft"));

    start_ = StartButton();
    connect(start_, &QPushButton::clicked, this, &SessionWindow::StartSession);

    auto* hint =
        new QLabel(QStringLiteral("3 つの合図のあと、決まった時間の行を続けて解き、休憩をはさんで"
                                  "後半に進みます。\n行が替わると枠の色と音で知らせます。"
                                  "F11 で全画面、Esc で中止できます。"));
    hint->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(start_, 0, Qt::AlignRight);
    layout->addStretch();
    return page;
}

QWidget* SessionWindow::BuildWorkPage() {
    auto* page = new QWidget;
    page->setFocusPolicy(Qt::StrongFocus);  // keys reach the window during the rest

    lineLabel_ = new QLabel;
    lineLabel_->setObjectName(QStringLiteral("lineLabel"));
    lineLabel_->setFont(GothicFont(16));
    modeLabel_ = new QLabel;
    modeLabel_->setObjectName(QStringLiteral("modeLabel"));
    modeLabel_->setFont(GothicFont(16));
    timeLeft_ = new QLabel;
    timeLeft_->setObjectName(QStringLiteral("timeLeft"));
    timeLeft_->setFont(GothicFont(16));
    auto* top = new QHBoxLayout;
    top->addWidget(lineLabel_);
    top->addSpacing(24);
    top->addWidget(modeLabel_);
    top->addStretch();
    for (std::size_t i = 0; i < lights_.size(); ++i) {
        lights_[i] = new QLabel;
        lights_[i]->setObjectName(QStringLiteral("light%1").arg(i + 1));
        lights_[i]->setFixedSize(36, 36);
        top->addWidget(lights_[i]);
    }
    top->addSpacing(12);
    top->addWidget(timeLeft_);

    rowFrame_ = new QFrame;
    rowFrame_->setObjectName(QStringLiteral("sessionRow"));
    rowFrame_->setStyleSheet(RowStyle(QStringLiteral("transparent")));
    const AnswerRowWidgets widgets = BuildAnswerRow(
        *new QGridLayout(rowFrame_), RowPointsFor(*this), this, [this](int b) { BoxEdited(b); });
    digitLabels_ = widgets.digits;
    boxes_ = widgets.boxes;

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("status"));
    status_->setFont(GothicFont(14));
    status_->setWordWrap(true);

    // The row in the middle of a window made large for the work, as on the test's sheet.
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addStretch(1);
    layout->addWidget(rowFrame_);
    layout->addWidget(status_);
    layout->addStretch(1);
    return page;
}

void SessionWindow::LoadSettings(const SessionSettings& s) {
    lineSeconds_->setValue(s.lineSeconds);
    firstLines_->setValue(s.firstHalfLines);
    secondLines_->setValue(s.secondHalfLines);
    restMinutes_->setValue(s.restMinutes);
    mode_->setCurrentIndex(static_cast<int>(s.mode));
    showMarks_->setChecked(s.showMarks);
    showTimeLeft_->setChecked(s.showTimeLeft);
}

SessionSettings SessionWindow::ChosenSettings() const {
    SessionSettings s;
    s.lineSeconds = lineSeconds_->value();
    s.firstHalfLines = firstLines_->value();
    s.secondHalfLines = secondLines_->value();
    s.restMinutes = restMinutes_->value();
    s.mode = static_cast<SessionMode>(std::clamp(mode_->currentIndex(), 0, 2));
    s.showMarks = showMarks_->isChecked();
    s.showTimeLeft = showTimeLeft_->isChecked();
    return s.Clamped();
}

}  // namespace keta
