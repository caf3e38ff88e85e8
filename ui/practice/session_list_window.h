#pragma once
// Every practice session in the answer log, newest first; Enter or a double click opens one in
// the result window. Every line of every session can be written out as CSV.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "session_result_window.h"

class QLabel;
class QTreeWidget;

namespace keta {

class SessionListWindow : public QWidget {
    Q_OBJECT

public:
    explicit SessionListWindow(QString logPath, QWidget* parent = nullptr);

    // Reads the log again.
    void Reload();
    // Opens the session in row `row` (0: newest) in the result window.
    void OpenRow(int row);
    // Every line of every session to a CSV file the person picks.
    void ExportCsv();
    QTreeWidget* List() const { return list_; }
    // Where the CSV goes: a save dialog unless a test gives its own answer (empty: cancelled).
    using PathAsker = std::function<QString(const QString& suggested)>;
    void SetPathAsker(PathAsker asker) { askPath_ = std::move(asker); }
    SessionResultWindow* Result() const { return result_; }

private:
    void FitColumns();

    QString logPath_;
    QLabel* note_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<ShownSession> sessions_;  // newest first, as listed
    QPointer<SessionResultWindow> result_;
    PathAsker askPath_;
};

}  // namespace keta
