// The writing side of the sessions: each completed line goes to the log's owner at once, and
// the owner's word on each comes back here on the GUI thread.

#include "session_store.h"

#include "log_owner.h"

namespace keta {

SessionRecorder::SessionRecorder(std::shared_ptr<LogOwner> owner, std::function<QDateTime()> now)
    : owner_(std::move(owner)), now_(std::move(now)) {}

SessionRecorder::~SessionRecorder() = default;

void SessionRecorder::SessionStarted(const SessionSettings& settings, std::int64_t) {
    startedAt_ = now_().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toStdString();
    sessionId_ = 0;
    lines_ = {};
    ticket_ =
        owner_->StartSession(startedAt_, settings, this, [this](LogFate fate, std::int64_t id) {
            if (fate == LogFate::Written) sessionId_ = id;
        });
}

void SessionRecorder::LineCompleted(const LineResult& line) {
    ++lines_.pending;  // until the owner's word comes back
    owner_->TakeLine(ticket_, line, this, [this](LogFate fate, std::int64_t) {
        // A line told held first and written later is counted once, as written.
        if (fate == LogFate::Held) return;
        --lines_.pending;
        ++(fate == LogFate::Written ? lines_.written : lines_.lost);
    });
}

void SessionRecorder::SessionEnded(SessionState state) { owner_->EndSession(ticket_, state); }

}  // namespace keta
