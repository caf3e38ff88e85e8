#pragma once
// The program's command line: where the data files live, exports to CSV, --help and --version.
// Without options the program starts its window in the current folder.

#include <QString>
#include <QStringList>

class QTextStream;

namespace keta {

struct CommandLine {
    enum class Action {
        Run,          // show the window
        Export,       // write the CSV files named below, no window
        ShowHelp,     // print the usage
        ShowVersion,  // print the version
        Fail,         // a usage error, told in `error`
    };
    enum class DataFolder {
        Current,  // the working folder, as without options
        Given,    // --data-dir DIR
        User,     // --user-data: the per-user data folder
    };

    Action action = Action::Run;
    DataFolder folder = DataFolder::Current;
    QString dataDir;       // with DataFolder::Given
    QString historyCsv;    // --export-history FILE, or empty
    QString answersCsv;    // --export-answers FILE, or empty
    QString error;         // with Action::Fail
    bool session = false;  // --session: the practice session's window instead of the main one
    // --export-sessions FILE, or empty
    QString sessionsCsv;
};

// Reads `arguments` (the program's name first, as in argv). Parses only; touches no file.
CommandLine ParseCommandLine(const QStringList& arguments);

// True when a failed parse may stem from an option of Qt's own (-platform, -style, ...), which
// only QApplication understands and removes: single-dash words that are not ours.
bool MayHoldToolkitOptions(const QStringList& arguments);

// The usage text of --help.
QString CommandLineHelp();

// The data folder that `line` names, as an absolute path: DIR, the per-user folder, or the
// current folder.
QString DataFolderPath(const CommandLine& line);

// Makes the data folder the working folder, creating it (and its parents) when missing. On
// failure returns false with a message in *error and leaves the working folder as it was.
bool EnterDataFolder(const CommandLine& line, QString* error);

// Carries out every action but Run: prints help, version or a usage error, or runs the exports
// (CSV paths relative to the folder the program was started in, "-" for standard output; a
// data file as target is refused before anything is written). Returns the exit status:
// 0 done, 1 an export or the data folder failed, 2 a usage error.
int RunWithoutWindow(const CommandLine& line, QTextStream& out, QTextStream& err);

}  // namespace keta
