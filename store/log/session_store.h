#pragma once
// Practice sessions in the answer log: a recorder that hands each completed line to the log's
// owner at the line's boundary, and the readers that bring the sessions back.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cancel.h"
#include "practice_session.h"
#include "session_read.h"

namespace keta {

class LogOwner;

// Lives on the GUI thread; the owner tells it what became of each write.
class SessionRecorder : public QObject, public SessionObserver {
public:
    explicit SessionRecorder(std::shared_ptr<LogOwner> owner,
                             std::function<QDateTime()> now = &QDateTime::currentDateTime);
    ~SessionRecorder() override;

    void SessionStarted(const SessionSettings& settings, std::int64_t startMs) override;
    void LineCompleted(const LineResult& line) override;  // hands a copy over, returns
    void SessionEnded(SessionState state) override;

    // What became of the lines handed over so far.
    struct Progress {
        int written = 0;
        // Handed over and not yet in the log: on their way, or kept until the log takes them
        // (another program's lock, a full disk).
        int pending = 0;
        int lost = 0;  // neither written nor kept: the person was told
    };
    Progress Lines() const { return lines_; }
    // The key of the session's row once written; 0 before.
    std::int64_t SessionId() const { return sessionId_; }

private:
    std::shared_ptr<LogOwner> owner_;
    std::function<QDateTime()> now_;
    std::uint64_t ticket_ = 0;
    std::string startedAt_;
    std::int64_t sessionId_ = 0;
    Progress lines_;
};

// Every session, oldest first, through a read-only connection. Empty, with a reason in
// Japanese, when the log cannot be read; an empty list when it has no sessions or no file.
// A set `cancel` ends the read early (nullopt, no reason).
std::optional<std::vector<StoredSession>> LoadSessions(const QString& logPath,
                                                       QString* why = nullptr,
                                                       const CancelFlag* cancel = nullptr);
// The settings of the last session started, when the log holds them.
std::optional<SessionSettings> LoadLastSessionSettings(const QString& logPath);

// The sessions the person left out of the earlier sessions' means (a session gone wrong), by
// id, as the log's preferences keep them; none when the log has no such value or cannot be read.
std::set<std::int64_t> LoadLeftOutSessions(const QString& logPath);
// The preferences' key and value for `ids`.
QString LeftOutKey();
QString LeftOutText(const std::set<std::int64_t>& ids);

}  // namespace keta
