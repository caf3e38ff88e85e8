#pragma once
// What the session window needs of the answer log: the settings used last, whether the log can
// be written, the observer that keeps each line, and how many lines could not be written.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "practice_session.h"

namespace keta {

class SessionLogLink {
public:
    virtual ~SessionLogLink() = default;
    virtual std::optional<SessionSettings> LastSettings() = 0;
    // False with a reason in *why when the log cannot take the session's lines.
    virtual bool CheckWritable(QString* why) = 0;
    // The observer to attach to the session; nullptr when nothing is kept.
    virtual SessionObserver* Observer() = 0;
    // Lines handed over but not in the log, after waiting a moment for the writer.
    virtual int UnwrittenLines() = 0;
    // The session's row in the log once written; 0 before or when nothing is kept.
    virtual std::int64_t SessionId() = 0;
};

// The link to the answer log at `logPath`.
std::unique_ptr<SessionLogLink> MakeSessionLogLink(const QString& logPath);

}  // namespace keta
