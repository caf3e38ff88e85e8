#pragma once
// The result of a practice session: its curve (answers per line, the two halves side by side
// with the rest between), its figures, and beside them the same figures over the person's
// earlier sessions in the same format with a chart of their mean per line.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <thread>
#include <vector>

#include "cancel.h"
#include "practice_session.h"

class QLabel;

namespace keta {

class FigureLabel;
class SessionCurveView;

struct ShownSession {
    std::int64_t id = 0;  // 0: not in the log
    QString when;         // "2026-12-07 21:03"
    SessionSettings settings;
    bool stopped = false;
    bool kept = true;  // false: the log could not take it
    std::vector<LineResult> lines;
};

// The finished, undamaged sessions of the log at `logPath` in the format of `settings` that
// started before session `beforeId` (0: all), oldest first; `skipId` is left out, and so is
// every session the person left out of the means.
std::vector<ShownSession> EarlierSessions(const QString& logPath, const SessionSettings& settings,
                                          std::int64_t beforeId, std::int64_t skipId,
                                          const CancelFlag* cancel = nullptr);

class SessionResultWindow : public QWidget {
    Q_OBJECT

public:
    explicit SessionResultWindow(QWidget* parent = nullptr);
    ~SessionResultWindow() override;

    void ShowSession(const ShownSession& session, const std::vector<ShownSession>& earlier);
    // Shows the session at once and its earlier sessions (as EarlierSessions finds them) once
    // they are read off this thread: a long log does not hold the window up.
    void ShowSessionReadingEarlier(const ShownSession& session, const QString& logPath,
                                   std::int64_t beforeId, std::int64_t skipId);
    bool ReadingEarlier() const { return reading_; }
    // The value label of this session's figure named `caption`; nullptr when there is none.
    FigureLabel* Figure(const QString& caption) const;

signals:
    void earlierShown();

private:
    void Apply(const ShownSession& session, const std::vector<ShownSession>& earlier);

    QLabel* title_ = nullptr;
    QLabel* sentences_ = nullptr;
    QLabel* earlierTitle_ = nullptr;
    SessionCurveView* curve_ = nullptr;
    SessionCurveView* trend_ = nullptr;
    std::vector<FigureLabel*> figures_;
    std::vector<FigureLabel*> earlierFigures_;
    std::thread worker_;
    CancelFlag cancel_{false};  // ends a read this window no longer needs
    int generation_ = 0;        // a read whose generation is past is dropped
    bool reading_ = false;
};

}  // namespace keta
