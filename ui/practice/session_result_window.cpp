#include "session_result_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "analysis/chart_support.h"
#include "analysis/figure_label.h"
#include "fonts.h"
#include "session_curve_view.h"
#include "session_figure_rows.h"
#include "session_sentences.h"
#include "session_store.h"

namespace keta {
namespace {

using Value = std::optional<double>;

QString Text(FigureKind kind, Value v, bool mean) {
    return QString::fromStdString(analysis::SessionFigureText(kind, v, mean));
}

constexpr double kGap = 2.0;  // the rest's width on the curve, in lines

}  // namespace

std::vector<ShownSession> EarlierSessions(const QString& logPath, const SessionSettings& settings,
                                          std::int64_t beforeId, std::int64_t skipId,
                                          const CancelFlag* cancel) {
    std::vector<ShownSession> found;
    const std::optional<std::vector<StoredSession>> all = LoadSessions(logPath, nullptr, cancel);
    if (!all) return found;
    const std::set<std::int64_t> leftOut = LoadLeftOutSessions(logPath);
    for (const StoredSession& s : *all) {
        if (!IsEarlierSession(s, settings, beforeId, skipId, leftOut)) continue;
        ShownSession shown;
        shown.id = s.id;
        shown.when = QString::fromStdString(analysis::SessionWhenText(s.startedAt));
        shown.settings = s.settings;
        shown.lines = s.lines;
        found.push_back(std::move(shown));
    }
    return found;
}

SessionResultWindow::SessionResultWindow(QWidget* parent) : QWidget(parent) {
    SetUpAnalysisWindow(*this, QStringLiteral("本番形式の結果"));
    setObjectName(QStringLiteral("sessionResult"));

    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("title"));
    title_->setWordWrap(true);
    title_->setFont(GothicFont(11));
    // What the figures say, in words, before the figures.
    sentences_ = new QLabel;
    sentences_->setObjectName(QStringLiteral("sentences"));
    sentences_->setWordWrap(true);
    sentences_->setFont(GothicFont(12));
    sentences_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    curve_ = new SessionCurveView;
    curve_->setObjectName(QStringLiteral("curve"));
    trend_ = new SessionCurveView;
    trend_->setObjectName(QStringLiteral("trend"));
    auto* charts = new QSplitter(Qt::Vertical);
    charts->addWidget(curve_);
    charts->addWidget(trend_);
    charts->setStretchFactor(0, 3);
    charts->setStretchFactor(1, 2);

    // One table: the caption, this session's value and the mean of the earlier sessions. Each
    // value is a label of its own that a screen reader reads with its caption.
    auto* figures = new QWidget;
    auto* grid = new QGridLayout(figures);
    grid->setHorizontalSpacing(14);
    const auto heading = [grid](const QString& text, int column) {
        auto* label = new QLabel(QStringLiteral("<b>%1</b>").arg(text));
        label->setAlignment(Qt::AlignRight | Qt::AlignBottom);
        label->setWordWrap(true);
        grid->addWidget(label, 0, column);
    };
    heading(QStringLiteral("この回"), 1);
    heading(QStringLiteral("同じ設定のこれまでの平均"), 2);
    earlierTitle_ = new QLabel;
    earlierTitle_->setWordWrap(true);
    grid->addWidget(earlierTitle_, 1, 0, 1, 3);
    int r = 2;
    const auto value = [](const QString& caption, const QString& meaning) {
        auto* label = new FigureLabel(caption);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        label->setFocusPolicy(Qt::StrongFocus);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setToolTip(meaning);
        label->setAccessibleDescription(meaning);
        return label;
    };
    for (const SessionFigureRow& row : SessionFigureRows()) {
        auto* caption = new QLabel(row.caption);
        caption->setToolTip(row.meaning);
        FigureLabel* now = value(row.caption, row.meaning);
        FigureLabel* before =
            value(row.caption + QStringLiteral("（これまでの平均）"), row.meaning);
        caption->setBuddy(now);
        grid->addWidget(caption, r, 0);
        grid->addWidget(now, r, 1);
        grid->addWidget(before, r, 2);
        figures_.push_back(now);
        earlierFigures_.push_back(before);
        ++r;
    }
    grid->setRowStretch(r, 1);
    auto* scroll = new QScrollArea;
    scroll->setWidget(figures);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAccessibleName(QStringLiteral("この回の数値"));  // a Tab stop of its own
    // The figures keep the width they need; the charts give way on a narrow screen.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMinimumWidth(figures->sizeHint().width() +
                            scroll->verticalScrollBar()->sizeHint().width());

    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(charts);
    split->addWidget(scroll);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(sentences_);
    layout->addWidget(split, 1);
    resize(1100, 680);
}

FigureLabel* SessionResultWindow::Figure(const QString& caption) const {
    for (FigureLabel* f : figures_) {
        if (f->Caption() == caption) return f;
    }
    return nullptr;
}

SessionResultWindow::~SessionResultWindow() {
    cancel_ = true;  // a read still running stops at its next look at the flag
    if (worker_.joinable()) worker_.join();
}

void SessionResultWindow::ShowSession(const ShownSession& session,
                                      const std::vector<ShownSession>& earlier) {
    ++generation_;  // a read still running is out of date
    Apply(session, earlier);
    emit earlierShown();
}

void SessionResultWindow::ShowSessionReadingEarlier(const ShownSession& session,
                                                    const QString& logPath, std::int64_t beforeId,
                                                    std::int64_t skipId) {
    const int generation = ++generation_;
    Apply(session, {});
    reading_ = true;
    earlierTitle_->setText(QStringLiteral("これまでの回を読み込んでいます…"));
    earlierTitle_->setAccessibleName(earlierTitle_->text());
    setCursor(Qt::BusyCursor);
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
    worker_ = std::thread([this, session, logPath, beforeId, skipId, generation] {
        auto earlier = std::make_shared<std::vector<ShownSession>>(
            EarlierSessions(logPath, session.settings, beforeId, skipId, &cancel_));
        // Delivered on the window's own thread; dropped with the window or by a newer session.
        QMetaObject::invokeMethod(
            this,
            [this, session, earlier, generation] {
                if (generation != generation_) return;
                reading_ = false;
                unsetCursor();
                Apply(session, *earlier);
                emit earlierShown();
            },
            Qt::QueuedConnection);
    });
}

void SessionResultWindow::Apply(const ShownSession& session,
                                const std::vector<ShownSession>& earlier) {
    const SessionSettings& s = session.settings;
    QString title = QStringLiteral("%1　%2").arg(
        session.when, QString::fromStdString(analysis::SessionFormatText(s)));
    if (session.stopped)
        title += QStringLiteral("　") +
                 QString::fromStdString(analysis::SessionStoppedText(session.lines.size()));
    if (!session.kept) title += QStringLiteral("　※ 解答ログに記録されていません");
    title_->setText(title);
    title_->setAccessibleName(title);
    QStringList said;
    for (const std::string& sentence :
         analysis::SessionSentences(session.lines, s, session.stopped))
        said << QString::fromStdString(sentence);
    sentences_->setText(said.join(u'\n'));
    sentences_->setAccessibleName(sentences_->text());

    const SessionFigureValues figures = ComputeSessionFigureValues(session.lines, s);
    std::vector<SessionFigureValues> before;
    before.reserve(earlier.size());
    for (const ShownSession& e : earlier)
        before.push_back(ComputeSessionFigureValues(e.lines, e.settings));
    const std::vector<SessionFigureRow>& rows = SessionFigureRows();
    const std::vector<analysis::EarlierFigure> means = analysis::EarlierFigureMeans(before);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SessionFigureRow& row = rows[i];
        figures_[i]->setText(Text(row.kind, figures.values[i], false));
        earlierFigures_[i]->setText(Text(row.kind, means[i].mean, true));
        const QString covers = QString::fromStdString(analysis::EarlierCoversText(
            analysis::SessionFigureRows()[i], earlier.size(), means[i].withValue));
        earlierFigures_[i]->setToolTip(covers);
        earlierFigures_[i]->setAccessibleDescription(covers);
    }
    earlierTitle_->setText(QString::fromStdString(analysis::EarlierTitleText(earlier.size())));
    earlierTitle_->setAccessibleName(earlierTitle_->text());

    // The curve: line numbers across, the second half after a gap for the rest.
    const double secondStart = s.firstHalfLines + kGap;
    std::vector<CurveSeries> series;
    std::vector<std::pair<double, QString>> ticks;
    QStringList table;
    const QColor answersColour(0x1f, 0x5f, 0xb0);
    const QColor errorsColour(0xd0, 0x20, 0x20);
    CurveSeries errors{QStringLiteral("誤答数"), errorsColour, {}, false, true};
    for (int half = 1; half <= 2; ++half) {
        const int n = half == 1 ? s.firstHalfLines : s.secondHalfLines;
        const double base = half == 1 ? 0.0 : secondStart;
        for (int k = 1; k <= n; ++k) ticks.emplace_back(base + k, QString::number(k));
        CurveSeries answers{QStringLiteral("解答数"), answersColour, {}, true, false};
        for (const LineResult& l : session.lines) {
            if (l.half != half) continue;
            answers.points.emplace_back(base + l.line, l.Answers());
            if (l.Errors() > 0) errors.points.emplace_back(base + l.line, l.Errors());
            table << QStringLiteral("%1 %2 行目 %3 問 誤り %4")
                         .arg(half == 1 ? QStringLiteral("前半") : QStringLiteral("後半"))
                         .arg(l.line)
                         .arg(l.Answers())
                         .arg(l.Errors());
        }
        if (!answers.points.empty()) series.push_back(std::move(answers));
    }
    series.push_back(std::move(errors));
    const bool twoHalves = s.secondHalfLines > 0;
    const double high = twoHalves ? secondStart + s.secondHalfLines + 0.5 : s.firstHalfLines + 0.5;
    curve_->SetData(QStringLiteral("行ごとの解答数"), QStringLiteral("行"), QStringLiteral("問"),
                    std::move(series), std::move(ticks), 0.5, high,
                    twoHalves ? QStringLiteral("休憩") : QString(),
                    s.firstHalfLines + kGap / 2 + 0.5, table.join(QStringLiteral("、")));

    // Mean per line over the sessions in this format, this one last.
    std::vector<const ShownSession*> all;
    all.reserve(earlier.size() + 1);
    for (const ShownSession& e : earlier) all.push_back(&e);
    all.push_back(&session);
    CurveSeries firstMeans{QStringLiteral("前半の平均"), answersColour, {}, true, false};
    CurveSeries secondMeans{QStringLiteral("後半の平均"), QColor(0x20, 0x90, 0x40), {}, true, true};
    std::vector<std::pair<double, QString>> sessionTicks;
    QStringList trendTable;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const SessionFigureValues f = ComputeSessionFigureValues(all[i]->lines, all[i]->settings);
        const double x = static_cast<double>(i + 1);
        // The day, and where another session of that day is on the chart, which of the day's
        // it was: "12/07 (2)".
        const QString day = all[i]->when.mid(5, 5);
        const auto sameDay = [&day](const ShownSession* other) {
            return other->when.mid(5, 5) == day;
        };
        const auto ordinal =
            std::count_if(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(i) + 1, sameDay);
        const bool shared = std::count_if(all.begin(), all.end(), sameDay) > 1;
        sessionTicks.emplace_back(x,
                                  shared ? QStringLiteral("%1 (%2)").arg(day).arg(ordinal) : day);
        if (f.firstMean) firstMeans.points.emplace_back(x, *f.firstMean);
        if (f.secondMean) secondMeans.points.emplace_back(x, *f.secondMean);
        trendTable << QStringLiteral("%1 前半 %2 後半 %3")
                          .arg(all[i]->when, FigureText(f.firstMean, 1),
                               FigureText(f.secondMean, 1));
    }
    std::vector<CurveSeries> trendSeries{std::move(firstMeans)};
    if (twoHalves) trendSeries.push_back(std::move(secondMeans));
    trend_->SetData(QStringLiteral("同じ設定の回ごとの 1 行当たりの平均"),
                    QStringLiteral("回（古い順、右端がこの回）"), QStringLiteral("問/行"),
                    std::move(trendSeries), std::move(sessionTicks), 0.5,
                    static_cast<double>(all.size()) + 0.5, {}, 0.0,
                    trendTable.join(QStringLiteral("、")));
}

}  // namespace keta
