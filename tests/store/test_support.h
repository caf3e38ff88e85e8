#pragma once
// Helpers for the store tests: real files in a temporary folder, recorded message boxes, a
// stand-in for chkAs and cboJikan, and ways to make writes fail although the tests run as root.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <functional>
#include <vector>

#include "message_boxes.h"
#include "qt_text.h"
#include "settings_controls.h"

namespace keta::test {

inline QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// UTF-8 source text as code page 932 bytes (the encoder is checked byte by byte elsewhere).
inline QByteArray Cp932(const char* utf8) { return Cp932Bytes(QString::fromUtf8(utf8)).value(); }

class RecordingBoxes : public MessageBoxes {
public:
    enum class Kind { Ask, Inform, Error };
    struct Shown {
        Kind kind;
        QString text, title;
    };
    Answer AskOkCancelWarning(const QString& text, const QString& title) override {
        shown.push_back({Kind::Ask, text, title});
        return answer;
    }
    void InformOk(const QString& text, const QString& title) override {
        shown.push_back({Kind::Inform, text, title});
    }
    void ReportError(const QString& text, const QString& title) override {
        shown.push_back({Kind::Error, text, title});
    }
    int Count(Kind kind) const {
        return static_cast<int>(std::count_if(shown.begin(), shown.end(),
                                              [kind](const Shown& s) { return s.kind == kind; }));
    }

    Answer answer = Answer::Ok;
    std::vector<Shown> shown;
};

// chkAs and cboJikan as the window behaves: the box starts ticked, and setting a different
// state runs the click handler at once.
class FakeControls : public SettingsControls {
public:
    std::int16_t AutoSaveState() const override { return state; }
    void SetAutoSaveState(std::int16_t s) override {
        if (s == state) return;
        state = s;
        if (onClick) onClick();
    }
    QString TimeLimitText() const override { return text; }

    std::int16_t state = 1;
    QString text;
    std::function<void()> onClick;
};

// Writes past `bytes` in any file fail, with a short write at the limit: a disk that fills
// up in the middle of a line.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        const rlimit limit{bytes, old_.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

// File access as the user nobody while alive, so that permissions apply again.
class AsNobody {
public:
    AsNobody() : active_(geteuid() == 0 && seteuid(65534) == 0) {}
    ~AsNobody() {
        if (active_) {
            EXPECT_EQ(seteuid(0), 0) << "could not become root again";
        }
    }
    bool active() const { return active_; }

private:
    bool active_;
};

// A temporary folder that the user nobody may read and enter but not write to. The group may
// too: AsNobody keeps root's group, so the group's bits are the ones that apply.
struct TestDir {
    TestDir() {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::ExeOther);
    }
    QString File(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

// The application object, for code that posts events from one thread to another. Made once
// and kept for the life of the process.
inline QCoreApplication& CoreApp() {
    static int argc = 1;
    static char name[] = "store_tests";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    return *app;
}

}  // namespace keta::test
