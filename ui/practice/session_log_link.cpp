#include "session_log_link.h"

#include <QFileInfo>

#include "log_owner.h"
#include "session_store.h"

namespace keta {
namespace {

class RecorderLink : public SessionLogLink {
public:
    explicit RecorderLink(const QString& logPath)
        : path_(logPath), owner_(LogOwner::Of(logPath)), recorder_(owner_) {}

    std::optional<SessionSettings> LastSettings() override {
        return LoadLastSessionSettings(path_);
    }
    bool CheckWritable(QString* why) override {
        if (!owner_->IsOff()) return true;
        if (why != nullptr) {
            *why = QStringLiteral("%1 は、この実行の間は使えません（理由は先に表示しました）。")
                       .arg(QFileInfo(path_).fileName());
        }
        return false;
    }
    SessionObserver* Observer() override { return &recorder_; }
    int LostLines() override { return recorder_.Lines().lost; }
    std::int64_t SessionId() override { return recorder_.SessionId(); }

private:
    QString path_;
    std::shared_ptr<LogOwner> owner_;
    SessionRecorder recorder_;
};

}  // namespace

std::unique_ptr<SessionLogLink> MakeSessionLogLink(const QString& logPath) {
    return std::make_unique<RecorderLink>(logPath);
}

}  // namespace keta
