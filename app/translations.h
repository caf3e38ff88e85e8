#pragma once
// Qt's own texts (the standard buttons "OK", "キャンセル", the line edit's menu) in Japanese,
// as on a Japanese desktop, whatever the user's locale: every text of the program is Japanese.

class QApplication;

namespace keta {

// Installs Qt's Japanese translations into `app`; true when they were found and loaded.
bool InstallQtTranslations(QApplication& app);

}  // namespace keta
