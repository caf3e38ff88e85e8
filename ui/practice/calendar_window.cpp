#include "calendar_window.h"

#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

#include "analysis/figure_label.h"
#include "calendar_heat_map.h"
#include "calendar_source.h"

namespace keta {
namespace {

// A colour key under the map: each shade with the minutes it stands for, and the goal's dot.
class MinutesLegend : public QWidget {
public:
    explicit MinutesLegend(QWidget* parent) : QWidget(parent) {
        QStringList heard;
        for (const Step& step : Steps()) heard << step.words;
        setAccessibleName(QStringLiteral("色の見方 ") + heard.join(QStringLiteral("、")) +
                          QStringLiteral("、白い点は目標達成"));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        const QFontMetrics fm = fontMetrics();
        int width = 0;
        for (const Step& step : Steps())
            width += Cell() + 4 + fm.horizontalAdvance(step.words) + 12;
        width += Cell() + 4 + fm.horizontalAdvance(kGoalWords);
        return {width, Cell() + 4};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QFontMetrics fm = fontMetrics();
        int x = 0;
        const auto swatch = [&](int minutes) {
            p.setPen(Qt::NoPen);
            p.setBrush(CalendarHeatMap::MinutesColour(minutes));
            p.drawRoundedRect(QRect(x, 2, Cell(), Cell()), 2, 2);
            x += Cell() + 4;
        };
        const auto word = [&](const QString& w, int after) {
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(QRect(x, 0, fm.horizontalAdvance(w) + 4, height()), Qt::AlignVCenter, w);
            x += fm.horizontalAdvance(w) + after;
        };
        for (const Step& step : Steps()) {
            swatch(step.minutes);
            word(step.words, 12);
        }
        const int dotAt = x;
        swatch(30);
        p.setBrush(Qt::white);
        const int d = std::max(4, Cell() / 3);
        p.drawEllipse(QRect(dotAt + Cell() / 2 - d / 2 + 1, 2 + Cell() / 2 - d / 2 + 1, d, d));
        word(kGoalWords, 0);
    }

private:
    // The shades' steps, as the map colours a day by its whole minutes.
    struct Step {
        int minutes;  // a day with this many minutes has the shade
        QString words;
    };
    static const std::vector<Step>& Steps() {
        static const std::vector<Step> steps{{0, QStringLiteral("なし")},
                                             {1, QStringLiteral("5 分未満")},
                                             {5, QStringLiteral("5〜14 分")},
                                             {15, QStringLiteral("15〜29 分")},
                                             {30, QStringLiteral("30 分以上")}};
        return steps;
    }
    inline static const QString kGoalWords = QStringLiteral("目標達成");
    int Cell() const { return std::max(12, fontMetrics().height()); }
};

}  // namespace

CalendarWindow::CalendarWindow(QString logPath, QString historyPath, QWidget* parent,
                               std::function<QDate()> today)
    : QWidget(parent, Qt::Window),
      logPath_(std::move(logPath)),
      historyPath_(std::move(historyPath)),
      todayOf_(std::move(today)) {
    setObjectName(QStringLiteral("calendarWindow"));
    setWindowTitle(QStringLiteral("練習カレンダー"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Esc closes it, as it closes every window beside the drill.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    map_ = new CalendarHeatMap(this);
    layout->addWidget(map_);
    layout->addWidget(new MinutesLegend(this));

    auto* figures = new QHBoxLayout;
    today_ = new FigureLabel(QStringLiteral("今日の練習"), this);
    currentRun_ = new FigureLabel(QStringLiteral("連続日数（今）"), this);
    longestRun_ = new FigureLabel(QStringLiteral("最長の連続日数"), this);
    goal_ = new FigureLabel(QStringLiteral("今日の目標"), this);
    for (FigureLabel* figure : {today_, currentRun_, longestRun_, goal_}) {
        auto* box = new QVBoxLayout;
        box->setSpacing(2);
        auto* caption = new QLabel(figure->Caption(), this);
        caption->setBuddy(figure);
        box->addWidget(caption);
        QFont big = figure->font();
        big.setPointSizeF(big.pointSizeF() * 1.4);
        big.setBold(true);
        figure->setFont(big);
        box->addWidget(figure);
        // Caption and value stay together; spare height goes below everything.
        caption->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        figure->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        box->addStretch(1);
        figures->addLayout(box);
        // The goal's caption goes with its figure when there is no goal.
        if (figure == goal_) caption->setObjectName(QStringLiteral("goalCaption"));
    }
    figures->setSpacing(fontMetrics().height() * 2);
    figures->addStretch(1);
    layout->addLayout(figures);

    auto* goalRow = new QHBoxLayout;
    auto* goalCaption = new QLabel(QStringLiteral("1日の目標（分）"), this);
    goalBox_ = new QSpinBox(this);
    goalBox_->setObjectName(QStringLiteral("goalMinutes"));
    goalBox_->setRange(0, kMaxDailyGoalMinutes);
    goalBox_->setSpecialValueText(QStringLiteral("なし"));
    goalBox_->setAccessibleName(goalCaption->text());
    goalCaption->setBuddy(goalBox_);
    save_ = new QPushButton(QStringLiteral("保存"), this);
    save_->setObjectName(QStringLiteral("saveGoal"));
    save_->setAccessibleName(save_->text());
    goalRow->addWidget(goalCaption);
    goalRow->addWidget(goalBox_);
    goalRow->addWidget(save_);
    goalRow->addStretch(1);
    layout->addLayout(goalRow);
    connect(save_, &QPushButton::clicked, this, &CalendarWindow::SaveGoal);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("calendarNote"));
    note_->setWordWrap(true);
    layout->addWidget(note_);
    layout->addStretch(1);

    Reload();
    FitToScreen(*this);
    map_->setFocus();

    // Midnight passes unseen by any event. Only the day is watched here: new rounds show when
    // the window is next activated, so that no reading lands in a round played elsewhere.
    auto* watch = new QTimer(this);
    watch->setInterval(30'000);
    connect(watch, &QTimer::timeout, this, [this] {
        if (isVisible() && todayOf_().toJulianDay() != shownStamp_.front()) Reload();
    });
    watch->start();
}

std::vector<qint64> CalendarWindow::Stamp() const {
    return CalendarStamp(todayOf_(), logPath_, historyPath_);
}

void CalendarWindow::ReloadIfChanged() {
    if (Stamp() != shownStamp_) Reload();
}

void CalendarWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) ReloadIfChanged();
}

void CalendarWindow::Reload() {
    // Taken before the reading, so that a change during it shows at the next look.
    shownStamp_ = Stamp();
    const CalendarSource source = ReadCalendarSource(logPath_, historyPath_);
    const QDate date = todayOf_();
    analysis::PracticeCalendar cal = analysis::ComputePracticeCalendar(
        source.items, {date.year(), date.month(), date.day()}, source.goalMinutes);
    note_->setText(source.problem);
    note_->setVisible(!source.problem.isEmpty());

    today_->setText(QStringLiteral("%1 分・%2 回")
                        .arg(analysis::WholeMinutes(cal.todaySeconds))
                        .arg(cal.todayRounds));
    currentRun_->setText(QStringLiteral("%1 日").arg(cal.currentRun));
    longestRun_->setText(QStringLiteral("%1 日").arg(cal.longestRun));
    const bool hasGoal = cal.goalMinutes > 0;
    goal_->setText(hasGoal ? QStringLiteral("%1 / %2 分%3")
                                 .arg(analysis::WholeMinutes(cal.todaySeconds))
                                 .arg(cal.goalMinutes)
                                 .arg(cal.goalReachedToday ? QStringLiteral(" 達成") : QString())
                           : QString());
    goal_->setVisible(hasGoal);
    if (auto* caption = findChild<QLabel*>(QStringLiteral("goalCaption")))
        caption->setVisible(hasGoal);
    // A goal typed but not yet saved stays in the box.
    if (goalBox_->value() == loadedGoal_) goalBox_->setValue(cal.goalMinutes);
    loadedGoal_ = cal.goalMinutes;
    map_->SetCalendar(std::move(cal));
}

bool CalendarWindow::SaveGoal() {
    QString why;
    const auto say = [this](const QString& text) {
        note_->setText(text);
        note_->setVisible(!text.isEmpty());
    };
    if (owner_ == nullptr) owner_ = LogOwner::Of(logPath_);
    const bool handed = SaveDailyGoal(
        *owner_, goalBox_->value(), &why, this, [this, say](LogFate fate, std::int64_t) {
            if (fate == LogFate::Written) {
                say({});
                Reload();
            } else if (fate == LogFate::Held) {
                say(
                    QStringLiteral("解答ログがほかのプログラムに使われているため、"
                                   "目標は書き込めるようになりしだい保存します。"));
            } else {
                say(QStringLiteral("目標を保存できませんでした。"));
            }
        });
    if (!handed) say(why);
    return handed;
}

}  // namespace keta
