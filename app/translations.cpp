#include "translations.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace keta {

bool InstallQtTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    // qt_ja covers qtbase and the other modules the program uses.
    if (!translator->load(QStringLiteral("qt_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}

}  // namespace keta
