// ケタトビ: a drill in mental arithmetic and typing speed.

#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "answer_log.h"
#include "command_line.h"
#include "log_owner.h"
#include "shell.h"
#include "start_style.h"
#include "translations.h"
#include "window_module.h"

namespace {

QStringList RawArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int WithoutWindow(const keta::CommandLine& line) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return keta::RunWithoutWindow(line, out, err);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("ketatobi"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KETATOBI_VERSION));
    // No display name: Qt would append it to every window title, and the titles are the
    // program's own texts.

    // Help, version, exports and usage errors need no display: they are done before the
    // toolkit connects to one. Options of Qt's own are known only after QApplication took them.
    const keta::CommandLine early = keta::ParseCommandLine(RawArguments(argc, argv));
    if (early.action != keta::CommandLine::Action::Run &&
        (early.action != keta::CommandLine::Action::Fail ||
         !keta::MayHoldToolkitOptions(RawArguments(argc, argv)))) {
        const QCoreApplication core(argc, argv);
        return WithoutWindow(early);
    }

    // Qt reads "--session ID" as its session manager's option and would swallow the word after
    // ours; the program restores no sessions, so its own flag is taken out before Qt looks.
    std::vector<char*> qtArgv;
    bool sessionFlag = false;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--session") == 0) {
            sessionFlag = true;
        } else {
            qtArgv.push_back(argv[i]);
        }
    }
    int qtArgc = static_cast<int>(qtArgv.size());
    qtArgv.push_back(nullptr);
    QApplication app(qtArgc, qtArgv.data());
    keta::PrepareApplication();
    keta::CommandLine line = keta::ParseCommandLine(QCoreApplication::arguments());
    line.session = line.session || sessionFlag;
    if (line.action != keta::CommandLine::Action::Run) return WithoutWindow(line);
    QString error;
    if (!keta::EnterDataFolder(line, &error)) {
        QTextStream(stderr) << "ketatobi: " << error << '\n';
        return 1;
    }

    keta::InstallQtTranslations(app);
    if (line.session) {
        // The data folder is the working folder now; the session keeps its lines in its log.
        const QString log = QDir::current().absoluteFilePath(keta::AnswerLog::FileName());
        QString problem;
        keta::WindowModule* windows = keta::Windows(&problem);
        if (windows == nullptr) {
            QTextStream(stderr) << "ketatobi: " << problem << '\n';
            return 1;
        }
        const std::shared_ptr<keta::LogOwner> owner = keta::LogOwner::Of(log);
        const std::unique_ptr<QWidget> session(windows->LoneSession(log));
        session->show();
        const int code = QApplication::exec();
        // Whatever the log could not take yet is kept or told while the window can show it.
        owner->Finish();
        return code;
    }
    keta::Shell shell;
    shell.Form_Load();
    return QApplication::exec();
}
