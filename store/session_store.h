#pragma once
// Practice sessions in the answer log: a recorder that writes each completed line on a thread
// of its own, at the line's boundary, and the readers that bring the sessions back.

#include <QDateTime>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "practice_session.h"

namespace keta {

class SessionRecorder : public SessionObserver {
public:
    explicit SessionRecorder(QString logPath,
                             std::function<QDateTime()> now = &QDateTime::currentDateTime,
                             int busyTimeoutMs = 1000);
    ~SessionRecorder() override;  // a last try to write, bounded (≤ 2 s), then stops
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;

    // Before the start: opens and migrates the log on the recorder's thread and waits for the
    // answer (≤ timeoutMs). False, with a reason in Japanese, when sessions cannot be kept.
    bool CheckWritable(QString* why, int timeoutMs = 3000);
    void SessionStarted(const SessionSettings& settings, std::int64_t startMs) override;
    void LineCompleted(const LineResult& line) override;  // copies, hands over, returns
    void SessionEnded(SessionState state) override;
    // After the end: waits ≤ timeoutMs for the writes; returns how many completed lines are
    // still not in the log (0: all kept).
    int UnwrittenLines(int timeoutMs = 2000);
    // The id of the session row once written; 0 before.
    std::int64_t SessionId() const;

private:
    struct Pending;
    void Run();
    bool WriteSome(Pending& work);

    QString path_;
    std::function<QDateTime()> now_;
    int busyTimeoutMs_;
    QString connection_;

    mutable std::mutex mutex_;  // guards what follows, up to the thread
    std::condition_variable wake_, idle_;
    bool stop_ = false;
    bool checkRequested_ = false;
    int checkAnswered_ = 0;  // counts the answers, so a waiter sees its own
    bool writable_ = false;
    QString why_;
    bool started_ = false;
    std::string startedAt_;
    SessionSettings settings_;
    bool settingsWritten_ = false;
    std::int64_t sessionId_ = 0;
    std::deque<LineResult> lines_;  // completed, not yet in the log
    std::optional<SessionState> endState_;
    bool endWritten_ = false;
    bool working_ = false;
    std::uint64_t handed_ = 0;  // bumps at every hand-over, so the thread sees new work
    std::uint64_t seen_ = 0;
    std::thread thread_;
};

struct StoredSession {
    std::int64_t id = 0;
    std::string startedAt;  // "yyyy-MM-ddTHH:mm:ss", local time
    SessionSettings settings;
    SessionState state = SessionState::Finished;  // Finished or Stopped
    // Never ended: still in progress elsewhere, or cut off by a crash (then shown as Stopped).
    bool running = false;
    bool damaged = false;  // read back out of bounds: its lines are not used
    std::vector<LineResult> lines;
};

// Every session, oldest first, through a read-only connection. Empty, with a reason in
// Japanese, when the log cannot be read; an empty list when it has no sessions or no file.
std::optional<std::vector<StoredSession>> LoadSessions(const QString& logPath,
                                                       QString* why = nullptr);
// The settings of the last session started, when the log holds them.
std::optional<SessionSettings> LoadLastSessionSettings(const QString& logPath);

}  // namespace keta
