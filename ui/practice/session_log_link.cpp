#include "session_log_link.h"

#include "session_store.h"

namespace keta {
namespace {

class RecorderLink : public SessionLogLink {
public:
    explicit RecorderLink(const QString& logPath) : path_(logPath), recorder_(logPath) {}

    std::optional<SessionSettings> LastSettings() override {
        return LoadLastSessionSettings(path_);
    }
    bool CheckWritable(QString* why) override { return recorder_.CheckWritable(why); }
    SessionObserver* Observer() override { return &recorder_; }
    int UnwrittenLines() override { return recorder_.UnwrittenLines(); }
    std::int64_t SessionId() override { return recorder_.SessionId(); }

private:
    QString path_;
    SessionRecorder recorder_;
};

}  // namespace

std::unique_ptr<SessionLogLink> MakeSessionLogLink(const QString& logPath) {
    return std::make_unique<RecorderLink>(logPath);
}

}  // namespace keta
