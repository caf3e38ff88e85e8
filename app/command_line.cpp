#include "command_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <iterator>
#include <utility>

#include "answer_log.h"
#include "csv_export.h"
#include "export_target.h"

namespace keta {

namespace {

const QString kHistoryFile = QStringLiteral("履歴.txt");

struct Options {
    QCommandLineOption dataDir{QStringLiteral("data-dir"),
                               QStringLiteral("Keep the data files in <dir>, created when missing, "
                                              "instead of the current folder."),
                               QStringLiteral("dir")};
    QCommandLineOption userData{
        QStringLiteral("user-data"),
        QStringLiteral("Keep the data files in the per-user data folder (%1).")
            .arg(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))};
    QCommandLineOption exportHistory{
        QStringLiteral("export-history"),
        QStringLiteral("Write the saved results (%1) to <file> as CSV and exit; '-' is "
                       "standard output.")
            .arg(kHistoryFile),
        QStringLiteral("file")};
    QCommandLineOption exportAnswers{
        QStringLiteral("export-answers"),
        QStringLiteral("Write the answer log (%1) to <file> as CSV and exit; '-' is "
                       "standard output.")
            .arg(AnswerLog::FileName()),
        QStringLiteral("file")};
    QCommandLineOption exportSessions{
        QStringLiteral("export-sessions"),
        QStringLiteral("Write every line of the practice sessions in the answer log (%1) to "
                       "<file> as CSV and exit; '-' is standard output.")
            .arg(AnswerLog::FileName()),
        QStringLiteral("file")};
    QCommandLineOption session{
        QStringLiteral("session"),
        QStringLiteral("Open the practice session in the written test's format (timed lines, a "
                       "rest, two halves) instead of the main window.")};
    // Not addHelpOption(): its --help-all would list Qt's options, which only a QApplication
    // knows, and the help is printed without one.
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show these options and exit.")};
    QCommandLineOption version;

    explicit Options(QCommandLineParser& parser) : version(parser.addVersionOption()) {
        parser.setApplicationDescription(QStringLiteral(
            "ケタトビ: a drill in mental arithmetic and typing speed.\n"
            "Without options the window opens and the data files (設定.txt, 履歴.txt) are\n"
            "read and written in the current folder. Qt's own options (-platform, -style,\n"
            "...) are accepted as well."));
        parser.addOptions(
            {help, dataDir, userData, exportHistory, exportAnswers, exportSessions, session});
    }
};

CommandLine Failed(QString error) {
    CommandLine line;
    line.action = CommandLine::Action::Fail;
    line.error = std::move(error);
    return line;
}

// True when two export targets name one file or one stream: the same path, or the same file
// reached through another name ("-" and /dev/stdout, a link), so that two CSVs never run
// together.
bool SameTarget(const QString& a, const QString& b) {
    const auto identity = [](const QString& target, struct stat* st) {
        if (target == QLatin1String("-")) return ::fstat(STDOUT_FILENO, st) == 0;
        return ::stat(QFile::encodeName(target).constData(), st) == 0;
    };
    struct stat sa {
    }, sb{};
    if (identity(a, &sa) && identity(b, &sb))
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return a != QLatin1String("-") && b != QLatin1String("-") &&
           QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// The one value of a value option, or a usage error when it is given twice or empty.
bool SingleValue(const QCommandLineParser& parser, const QCommandLineOption& option, QString* value,
                 QString* error) {
    const QStringList values = parser.values(option);
    const QString name = QStringLiteral("--") + option.names().constLast();
    if (values.size() > 1) {
        *error = QStringLiteral("%1 is given more than once.").arg(name);
        return false;
    }
    if (!values.isEmpty() && values.constFirst().isEmpty()) {
        *error = QStringLiteral("%1 needs a non-empty value.").arg(name);
        return false;
    }
    *value = values.value(0);
    return true;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const Options options(parser);
    if (!parser.parse(arguments)) return Failed(parser.errorText());

    CommandLine line;
    if (parser.isSet(options.help)) {
        line.action = CommandLine::Action::ShowHelp;
        return line;
    }
    if (parser.isSet(options.version)) {
        line.action = CommandLine::Action::ShowVersion;
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Failed(QStringLiteral("Unexpected argument '%1'.")
                          .arg(parser.positionalArguments().constFirst()));
    }

    QString error;
    if (!SingleValue(parser, options.dataDir, &line.dataDir, &error) ||
        !SingleValue(parser, options.exportHistory, &line.historyCsv, &error) ||
        !SingleValue(parser, options.exportAnswers, &line.answersCsv, &error) ||
        !SingleValue(parser, options.exportSessions, &line.sessionsCsv, &error)) {
        return Failed(error);
    }
    line.session = parser.isSet(options.session);
    const bool userData = parser.isSet(options.userData);
    if (userData && !line.dataDir.isEmpty())
        return Failed(
            QStringLiteral("--data-dir and --user-data name two data folders; give one."));
    if (userData) line.folder = CommandLine::DataFolder::User;
    if (!line.dataDir.isEmpty()) line.folder = CommandLine::DataFolder::Given;

    if (!line.historyCsv.isEmpty() || !line.answersCsv.isEmpty() || !line.sessionsCsv.isEmpty()) {
        // Two exports into one file would leave only the second.
        const std::pair<const char*, const QString*> csvs[] = {
            {"--export-history", &line.historyCsv},
            {"--export-answers", &line.answersCsv},
            {"--export-sessions", &line.sessionsCsv}};
        for (std::size_t i = 0; i < std::size(csvs); ++i) {
            for (std::size_t j = i + 1; j < std::size(csvs); ++j) {
                if (csvs[i].second->isEmpty() || csvs[j].second->isEmpty() ||
                    !SameTarget(*csvs[i].second, *csvs[j].second))
                    continue;
                return Failed(QStringLiteral("%1 and %2 name the same file '%3'.")
                                  .arg(QLatin1String(csvs[i].first), QLatin1String(csvs[j].first),
                                       *csvs[i].second));
            }
        }
        line.action = CommandLine::Action::Export;
    }
    return line;
}

bool MayHoldToolkitOptions(const QStringList& arguments) {
    // The options of QGuiApplication and QApplication; Qt takes them with one or two dashes.
    static const QStringList toolkit{
        QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),       QStringLiteral("session"),
        QStringLiteral("display"),       QStringLiteral("geometry"),
        QStringLiteral("title"),         QStringLiteral("name"),
        QStringLiteral("visual"),        QStringLiteral("ncols"),
        QStringLiteral("cmap"),          QStringLiteral("im"),
        QStringLiteral("inputstyle"),    QStringLiteral("nograb"),
        QStringLiteral("dograb"),        QStringLiteral("sync"),
        QStringLiteral("style"),         QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),   QStringLiteral("testability"),
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        if (name == QLatin1String("--")) break;
        if (!name.startsWith(QLatin1Char('-'))) continue;
        name.remove(0, name.startsWith(QLatin1String("--")) ? 2 : 1);
        name = name.section(QLatin1Char('='), 0, 0);
        if (toolkit.contains(name)) return true;
    }
    return false;
}

QString CommandLineHelp() {
    QCommandLineParser parser;
    const Options options(parser);
    return parser.helpText();
}

QString DataFolderPath(const CommandLine& line) {
    switch (line.folder) {
        case CommandLine::DataFolder::Given:
            return QDir::cleanPath(QDir::current().absoluteFilePath(line.dataDir));
        case CommandLine::DataFolder::User:
            return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        case CommandLine::DataFolder::Current:
            break;
    }
    return QDir::currentPath();
}

bool EnterDataFolder(const CommandLine& line, QString* error) {
    if (line.folder == CommandLine::DataFolder::Current) return true;
    const QString path = DataFolderPath(line);
    if (path.isEmpty()) {
        *error = QStringLiteral("There is no per-user data folder on this system.");
        return false;
    }
    if (!QDir().mkpath(path)) {
        *error = QStringLiteral("Cannot create the data folder '%1'.").arg(path);
        return false;
    }
    if (!QDir::setCurrent(path)) {
        *error = QStringLiteral("Cannot work in the data folder '%1'.").arg(path);
        return false;
    }
    return true;
}

int RunWithoutWindow(const CommandLine& line, QTextStream& out, QTextStream& err) {
    const QString program = QStringLiteral("ketatobi");
    switch (line.action) {
        case CommandLine::Action::ShowHelp:
            out << CommandLineHelp();
            return 0;
        case CommandLine::Action::ShowVersion:
            out << program << ' ' << QCoreApplication::applicationVersion() << '\n';
            return 0;
        case CommandLine::Action::Fail:
            err << program << ": " << line.error << '\n'
                << "Try '" << program << " --help' for the options.\n";
            return 2;
        case CommandLine::Action::Run:
            err << program << ": nothing to do without the window\n";
            return 2;
        case CommandLine::Action::Export:
            break;
    }

    // The data files are read where they are; no folder is created or entered for an export.
    const QString folder = DataFolderPath(line);
    if (folder.isEmpty()) {
        err << program << ": There is no per-user data folder on this system.\n";
        return 1;
    }
    const QDir data(folder);
    struct Export {
        bool (*write)(const QString&, const QString&, QString*);
        QString source;
        QString csv;
    };
    const Export exports[] = {
        {&ExportHistoryCsv, data.filePath(kHistoryFile), line.historyCsv},
        {&ExportAnswersCsv, data.filePath(AnswerLog::FileName()), line.answersCsv},
        {&ExportSessionsCsv, data.filePath(AnswerLog::FileName()), line.sessionsCsv},
    };
    // Every target is looked at before anything is written: a refused one stops them all.
    bool refused = false;
    for (const Export& e : exports) {
        if (e.csv.isEmpty()) continue;
        const ExportTarget target = ResolveExportTarget(folder, e.csv);
        if (target.kind != ExportTarget::Kind::Refused) continue;
        err << program << ": " << target.reason << '\n';
        refused = true;
    }
    if (refused) return 1;
    bool ok = true;
    for (const Export& e : exports) {
        if (e.csv.isEmpty()) continue;
        QString problem;
        if (e.write(e.source, e.csv, &problem)) continue;
        if (problem.isEmpty()) problem = QStringLiteral("Cannot write '%1'.").arg(e.csv);
        err << program << ": " << problem << '\n';
        ok = false;
    }
    return ok ? 0 : 1;
}

}  // namespace keta
