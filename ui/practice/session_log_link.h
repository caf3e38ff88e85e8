#pragma once
// What the session window needs of the answer log: the settings used last, whether the log can
// take the session at all, the observer that hands each line over, and what became of them.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "practice_session.h"

namespace keta {

class SessionLogLink {
public:
    virtual ~SessionLogLink() = default;
    virtual std::optional<SessionSettings> LastSettings() = 0;
    // False with a reason in *why when the log is known to be unusable for this run. Answers
    // at once: a log that is only locked keeps the lines until it can take them.
    virtual bool CheckWritable(QString* why) = 0;
    // The observer to attach to the session; nullptr when nothing is kept.
    virtual SessionObserver* Observer() = 0;
    // Lines handed over that the log will never get (the person was told why).
    virtual int LostLines() = 0;
    // The session's row in the log once written; 0 before or when nothing is kept.
    virtual std::int64_t SessionId() = 0;
};

// The link to the answer log at `logPath`, through the log's owner.
std::unique_ptr<SessionLogLink> MakeSessionLogLink(const QString& logPath);

}  // namespace keta
