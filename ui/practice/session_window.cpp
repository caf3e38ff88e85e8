#include "session_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/figure_label.h"
#include "answer_row.h"
#include "elapsed_clock.h"
#include "fonts.h"
#include "form_row.h"
#include "log_owner.h"
#include "session_result_window.h"
#include "wall_clock.h"

namespace keta {
namespace {

constexpr int kTickMs = 25;    // well inside a line's 10 s at the least
constexpr int kFlashMs = 300;  // the row's frame in the cue's colour
const QString kTitle = QStringLiteral("本番形式で練習");
const QString kRowStyle = QStringLiteral("QFrame#sessionRow { border: 3px solid %1; }");

QSpinBox* SpinBox(int low, int high, const QString& suffix) {
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setSuffix(suffix);
    return box;
}

}  // namespace

SessionWindow::SessionWindow(QString logPath, LinkFactory makeLink, MonotonicClock* clock,
                             QWidget* parent)
    : QWidget(parent), logPath_(std::move(logPath)), makeLink_(std::move(makeLink)), clock_(clock) {
    setWindowFlag(Qt::Window, true);
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setFont(GothicFont(10));
    wallClock_ = std::make_unique<WallClock>();
    digits_ = std::make_unique<ClockSeededDigits>(*wallClock_);

    pages_ = new QStackedWidget(this);
    pages_->addWidget(BuildSettingsPage());
    pages_->addWidget(BuildWorkPage());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);

    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &SessionWindow::Tick);
    flash_ = new QTimer(this);
    flash_->setSingleShot(true);
    flash_->setInterval(kFlashMs);
    connect(flash_, &QTimer::timeout, this,
            [this] { rowFrame_->setStyleSheet(kRowStyle.arg(QStringLiteral("transparent"))); });

    SessionSettings last;
    if (makeLink_) {
        // A damaged log is found, set aside and told now, before any line is at stake.
        owner_ = LogOwner::Of(logPath_);
        owner_->Listen(this, &messages_);
        owner_->OpenSoon();
        if (const std::unique_ptr<SessionLogLink> link = makeLink_()) {
            last = link->LastSettings().value_or(SessionSettings{});
        }
    }
    LoadSettings(last.Clamped());
}

SessionWindow::~SessionWindow() {
    timer_->stop();
    // The session's observer lives in the link: the session goes first.
    session_.reset();
    link_.reset();
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
        new QLabel(QStringLiteral("決まった時間の行を続けて解き、休憩をはさんで後半に進みます。\n"
                                  "行が替わると枠の色と音で知らせます。Esc で中止できます。"));
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
    rowFrame_->setStyleSheet(kRowStyle.arg(QStringLiteral("transparent")));
    // Large digits, but a row that fits the screen's width at any scale factor.
    const QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const int available = shown != nullptr ? shown->availableGeometry().width() : 1280;
    const double points = std::clamp(available / 52.0, 10.0, 24.0);
    const AnswerRowWidgets widgets =
        BuildAnswerRow(*new QGridLayout(rowFrame_), points, this, [this](int b) { BoxEdited(b); });
    digitLabels_ = widgets.digits;
    boxes_ = widgets.boxes;

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("status"));
    status_->setFont(GothicFont(14));
    status_->setWordWrap(true);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(rowFrame_);
    layout->addWidget(status_);
    layout->addStretch();
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

void SessionWindow::StartSession() {
    if (session_ != nullptr && session_->State() != SessionState::Finished &&
        session_->State() != SessionState::Stopped)
        return;
    session_.reset();
    link_ = makeLink_ ? makeLink_() : nullptr;
    kept_ = false;
    if (link_ != nullptr) {
        QString why;
        kept_ = link_->CheckWritable(&why);
        if (!kept_) {
            QMessageBox box(
                QMessageBox::Warning, kTitle,
                QStringLiteral("解答ログに書き込めないため、この練習は記録されません。"
                               "\n%1\n\n練習はできます。結果は終わったときに表示します。")
                    .arg(why),
                QMessageBox::Ok, this);
            box.exec();
            activateWindow();  // the row takes the keys once the warning is gone
        }
    }
    session_ = std::make_unique<PracticeSession>(*this, *clock_, *digits_);
    if (kept_) session_->AttachObserver(link_->Observer());
    const SessionSettings& s = session_->Configure(ChosenSettings());
    timeLeft_->setVisible(s.showTimeLeft);
    timeLeft_->clear();
    status_->clear();
    for (QLabel* light : lights_) light->clear();
    resultPending_ = false;
    pages_->setCurrentIndex(1);
    SetRowEnabled(true);
    session_->Start();
    timer_->start();
}

void SessionWindow::Tick() {
    if (session_ == nullptr) return;
    session_->Tick();
}

void SessionWindow::BoxEdited(int box) {
    if (session_ == nullptr) return;
    session_->BoxChanged(box, boxes_[static_cast<std::size_t>(box)]->text().toStdString());
}

void SessionWindow::keyPressEvent(QKeyEvent* event) {
    const bool running = session_ != nullptr && session_->State() != SessionState::Ready &&
                         session_->State() != SessionState::Finished &&
                         session_->State() != SessionState::Stopped;
    if (event->key() == Qt::Key_Escape) {
        if (!running) {
            close();
        } else if (AskStop()) {
            session_->Stop();
        }
        return;
    }
    if (running && session_->State() == SessionState::Rest &&
        (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
         event->key() == Qt::Key_Enter)) {
        session_->EndRestEarly();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SessionWindow::closeEvent(QCloseEvent* event) {
    const bool running = session_ != nullptr && session_->State() != SessionState::Ready &&
                         session_->State() != SessionState::Finished &&
                         session_->State() != SessionState::Stopped;
    if (running) {
        if (!AskStop()) {
            event->ignore();
            return;
        }
        session_->Stop();
    }
    event->accept();
}

bool SessionWindow::AskStop() {
    return AskToStop(*this, kTitle,
                     QStringLiteral("練習を中止しますか？\n終わった行は記録に残り、"
                                    "途中の行は数えません。"));
}

void SessionWindow::ShowRow(const DigitRow& digits, bool difference) {
    SetRowEnabled(true);  // a row is shown only to be worked on
    for (int i = 0; i < kDigitCount; ++i) {
        digitLabels_[static_cast<std::size_t>(i)]->setText(
            QString::number(digits[static_cast<std::size_t>(i)]));
    }
    for (int b = 1; b <= kBoxCount; ++b) {
        QLineEdit* box = boxes_[static_cast<std::size_t>(b)];
        box->clear();
        box->setStyleSheet({});
    }
    modeLabel_->setText(difference ? QStringLiteral("－") : QStringLiteral("＋"));
    modeLabel_->setAccessibleName(difference ? QStringLiteral("引き算") : QStringLiteral("足し算"));
}

void SessionWindow::MarkBox(int box, bool correct) {
    boxes_[static_cast<std::size_t>(box)]->setStyleSheet(
        correct ? QStringLiteral("QLineEdit { color: #1060c0; }")
                : QStringLiteral("QLineEdit { color: #d01010; background: #ffe8e8; }"));
}

void SessionWindow::FocusBox(int box) {
    if (box >= 1 && box <= kBoxCount) boxes_[static_cast<std::size_t>(box)]->setFocus();
}

void SessionWindow::LineChanged() {
    status_->clear();
    for (QLabel* light : lights_) light->clear();
    rowFrame_->setStyleSheet(kRowStyle.arg(QStringLiteral("#f08000")));
    flash_->start();
    QApplication::beep();
}

void SessionWindow::SetLineLabel(const std::string& text) {
    lineLabel_->setText(QString::fromStdString(text));
    lineLabel_->setAccessibleName(lineLabel_->text());
}

void SessionWindow::ShowTimeLeft(int seconds) {
    timeLeft_->setText(QStringLiteral("残り %1 秒").arg(seconds));
}

void SessionWindow::ShowRestCountdown(int secondsLeft) {
    SetRowEnabled(false);
    status_->setText(
        QStringLiteral("休憩　あと %1:%2\nSpace か Enter で休憩を終えて後半に進みます。")
            .arg(secondsLeft / 60)
            .arg(secondsLeft % 60, 2, 10, QLatin1Char('0')));
}

void SessionWindow::ShowReadySignal(int step) {
    SetRowEnabled(false);
    static const char* const kLights[] = {":/pictures/light_red.svg", ":/pictures/light_yellow.svg",
                                          ":/pictures/light_green.svg"};
    for (int i = 0; i < 3; ++i) {
        lights_[static_cast<std::size_t>(i)]->setPixmap(
            i < step ? QIcon(QString::fromLatin1(kLights[i])).pixmap(32, 32) : QPixmap());
    }
    status_->setText(QStringLiteral("後半を始めます。"));
}

void SessionWindow::ShowFinished(bool stopped) {
    timer_->stop();
    SetRowEnabled(false);
    status_->setText(stopped ? QStringLiteral("中止しました。") : QStringLiteral("終わりました。"));
    // The session is still inside its own call: the result opens once it has returned.
    if (!resultPending_) {
        resultPending_ = true;
        QTimer::singleShot(0, this, &SessionWindow::ShowResult);
    }
}

void SessionWindow::SetRowEnabled(bool on) {
    for (int b = 1; b <= kBoxCount; ++b) boxes_[static_cast<std::size_t>(b)]->setEnabled(on);
    if (!on) pages_->currentWidget()->setFocus();
}

void SessionWindow::ShowResult() {
    if (session_ == nullptr) return;
    ShownSession shown;
    shown.settings = session_->Settings();
    shown.stopped = session_->State() == SessionState::Stopped;
    shown.lines = session_->Lines();
    shown.when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    shown.kept = kept_;
    if (kept_ && link_ != nullptr) {
        // No wait for the disk: lines on their way or kept through a lock are recorded; only
        // lines the log will never get make the result say so.
        const int lost = link_->LostLines();
        shown.id = link_->SessionId();
        if (lost > 0) {
            shown.kept = false;
            QMessageBox box(
                QMessageBox::Warning, kTitle,
                QStringLiteral("解答ログに書き込めなかった行が %1 行あります。"
                               "この練習の結果は表示しますが、その行は記録されていません。")
                    .arg(lost),
                QMessageBox::Ok, this);
            box.exec();
        }
    }
    const bool first = result_ == nullptr;
    if (first) result_ = new SessionResultWindow(this);
    result_->ShowSessionReadingEarlier(shown, logPath_, 0, shown.id);
    if (first) FitToScreen(*result_);
    result_->show();
    result_->raise();
    result_->activateWindow();

    pages_->setCurrentIndex(0);
    start_->setFocus();
    emit resultShown();
}

}  // namespace keta
