#pragma once
// The page's answer log: a database of the desktop's schema, held in the module's memory and
// kept by the page as the bytes of 解答ログ.db. It is the log's one writer: rounds are written
// here as they close, and the page stores the bytes after each change, telling the person when
// the browser would not keep them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "answer_observer.h"
#include "practice_session.h"
#include "round_notes.h"

struct sqlite3;

namespace keta::web {

// The largest log taken in: years of daily rounds are tens of megabytes, and the page holds
// the bytes twice (its copy and the database) while it reads them.
inline constexpr std::size_t kMostLogImportBytes = std::size_t{256} << 20;

// What a file's bytes were found to be; the numbers are the page's.
enum class LogOutcome { Taken = 0, Newer = 1, Foreign = 2, Corrupt = 3, TooLarge = 4, Failed = 5 };

class WebLog final : public AnswerObserver, public SessionObserver {
public:
    // `nowSeconds` reads the page's monotonic clock, in seconds, as the drill's timing does.
    explicit WebLog(std::function<double()> nowSeconds);
    ~WebLog() override;
    WebLog(const WebLog&) = delete;
    WebLog& operator=(const WebLog&) = delete;

    // Reads a file's bytes (none: a new log) into the waiting database, by the desktop's
    // checks: its mark, its version, its tables and SQLite's quick check. An older log of this
    // program is brought to the current version there.
    LogOutcome Read(std::string_view bytes);
    // The waiting database becomes the log.
    void Commit();
    // Rounds of the waiting database, for the question before an import replaces the log.
    long long WaitingRounds() const;
    // Why the last Read refused, in Japanese.
    const std::string& Refusal() const { return refusal_; }

    bool Usable() const { return h_ != nullptr; }
    // Goes up with every write, so that the page knows when to store the bytes again.
    long long Changes() const { return changes_; }
    // Rounds that could not be written, and why the last one could not.
    long long Failures() const { return failures_; }
    const std::string& LastError() const { return lastError_; }
    // The bytes of 解答ログ.db as the desktop opens it.
    std::string FileBytes() const;
    long long Rounds() const;

    // A save of the round closed last, by its line's date and time texts.
    void NoteSave(const std::string& date, const std::string& time);

    // The work curve of the round `id` (0: the latest), or of its neighbour `step` = -1 / +1.
    std::string CurveJson(std::int64_t id, int step) const;
    // The weak-pairs map of one mode (0 the sum, 1 the difference) over every round.
    std::string PairsJson(int mode) const;

    // AnswerObserver: the drill's reports of timed play.
    void PlayStarted() override;
    void AnswerScored(int box, int left, int right, const std::string& typed, int expected,
                      bool correct) override;
    void BoxClearedByClick(int box) override;
    void RoundClosed(const RoundSummary& summary) override;

    // SessionObserver: a practice session's lines, written as each completes.
    void SessionStarted(const SessionSettings& settings, std::int64_t startMs) override;
    void LineCompleted(const LineResult& line) override;
    void SessionEnded(SessionState state) override;
    // The session under way or ended last; 0 when it is not in the log.
    std::int64_t SessionId() const { return sessionId_; }
    // The sessions in the format of `settings` that finished before the session `beforeId` (0:
    // all), beside `lines` of the session just shown: each figure's mean with what it covers,
    // and each session's answers per line of each half, oldest first, this one last.
    std::string EarlierJson(const SessionSettings& settings, const std::vector<LineResult>& lines,
                            std::int64_t beforeId) const;

    // The local time the round's start is stamped with ("yyyy-MM-ddTHH:mm:ss").
    void SetStartStamp(std::string stamp) { startStamp_ = std::move(stamp); }

private:
    std::int64_t Elapsed() const;

    sqlite3* h_ = nullptr;
    sqlite3* waiting_ = nullptr;
    std::string refusal_;
    long long changes_ = 0;
    long long failures_ = 0;
    std::string lastError_;
    RoundNotes notes_;
    std::function<double()> nowSeconds_;
    double playStarted_ = 0;
    std::string startStamp_;
    std::int64_t lastRound_ = 0;  // the key of the round closed last; 0 before any
    std::int64_t sessionId_ = 0;
    void Failed(const std::string& what, const std::string& error);
};

}  // namespace keta::web
