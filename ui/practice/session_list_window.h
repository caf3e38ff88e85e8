#pragma once
// Every practice session in the answer log, newest first; Enter or a double click opens one in
// the result window. Every line of every session can be written out as CSV.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "session_result_window.h"

class QLabel;
class QPushButton;
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
    // Leaves the chosen session out of the earlier sessions' means, or puts it back.
    void ToggleLeftOut();
    QPushButton* LeaveOutButton() const { return leaveOut_; }

private:
    void FitColumns();
    QString StateText(const ShownSession& shown, const QString& state) const;
    void ShowChoice();

    QString logPath_;
    QLabel* note_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<ShownSession> sessions_;  // newest first, as listed
    std::vector<QString> states_;         // each one's state without the leaving out
    std::set<std::int64_t> leftOut_;      // as last handed to the log
    QPushButton* leaveOut_ = nullptr;
    QPointer<SessionResultWindow> result_;
    PathAsker askPath_;
};

}  // namespace keta
