#include "window_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

// Linked in (tests, benchmarks), the entry point is the windows' own; in the program it is
// absent here and the module is loaded from its file.
#pragma weak ketatobi_window_module

namespace keta {
namespace {

const QString kModuleFile = QStringLiteral("ketatobi_windows.so");

WindowModule*& Module() {
    static WindowModule* module = nullptr;
    return module;
}

// Beside the program in the build tree, then where the package installs it. A path in the
// environment is the only one tried.
QStringList Places() {
    const QString given = qEnvironmentVariable("KETATOBI_WINDOWS_MODULE");
    if (!given.isEmpty()) return {given};
    const QDir program(QCoreApplication::applicationDirPath());
    return {program.filePath(kModuleFile),
            QDir::cleanPath(program.filePath(QStringLiteral(KETATOBI_MODULE_INSTALL_RELDIR)) +
                            u'/' + kModuleFile)};
}

}  // namespace

WindowModule* LoadedWindows() { return Module(); }

WindowModule* Windows(QString* problem) {
    WindowModule*& module = Module();
    if (module != nullptr) return module;
    if (&ketatobi_window_module != nullptr &&
        qEnvironmentVariableIsEmpty("KETATOBI_WINDOWS_MODULE")) {
        return module = ketatobi_window_module();
    }
    QStringList tried;
    for (const QString& path : Places()) {
        if (!QFileInfo::exists(path)) {
            tried << QStringLiteral("%1: ありません").arg(QDir::toNativeSeparators(path));
            continue;
        }
        // Kept loaded for the rest of the run: its windows live until the program ends.
        auto* library = new QLibrary(path, qApp);
        library->setLoadHints(QLibrary::PreventUnloadHint);
        using Entry = WindowModule* (*)();
        const auto entry = reinterpret_cast<Entry>(library->resolve("ketatobi_window_module"));
        if (entry != nullptr && (module = entry()) != nullptr) return module;
        tried << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path),
                                              library->errorString());
        delete library;
    }
    if (problem != nullptr) {
        *problem = QStringLiteral(
                       "このウィンドウを開くための部品（%1）を読み込めませんでした。"
                       "ケタトビを入れ直してください。ドリルと記録の保存はこのまま使えます。\n\n%2")
                       .arg(kModuleFile, tried.join(u'\n'));
    }
    return nullptr;
}

}  // namespace keta
