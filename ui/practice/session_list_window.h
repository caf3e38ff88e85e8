#pragma once
// Every practice session in the answer log, newest first; Enter or a double click opens one in
// the result window.

#include <QPointer>
#include <QString>
#include <QWidget>
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
    QTreeWidget* List() const { return list_; }
    SessionResultWindow* Result() const { return result_; }

private:
    QString logPath_;
    QLabel* note_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<ShownSession> sessions_;  // newest first, as listed
    QPointer<SessionResultWindow> result_;
};

}  // namespace keta
