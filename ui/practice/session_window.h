#pragma once
// A practice session in the long written test's format, in a window of its own: the settings,
// then one row of digits per line with the line's number, the rest and the ready lights, and
// at the end the result window. The main window and its files are not touched.

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "elapsed_clock.h"
#include "practice_session.h"
#include "session_log_link.h"
#include "session_result_window.h"
#include "widget_boxes.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTimer;

namespace keta {

class Clock;
class LogOwner;

class SessionWindow : public QWidget, public SessionView {
    Q_OBJECT

public:
    // A fresh link to the log for every session (the log keeps one session per link).
    using LinkFactory = std::function<std::unique_ptr<SessionLogLink>()>;

    // `logPath`: the answer log, read for earlier sessions. `clock`: nullptr for the steady
    // clock; a test gives its own.
    SessionWindow(QString logPath, LinkFactory makeLink, MonotonicClock* clock = nullptr,
                  QWidget* parent = nullptr);
    ~SessionWindow() override;

    // The session under way or last run; nullptr before the first start.
    const PracticeSession* Session() const { return session_.get(); }
    SessionResultWindow* Result() const { return result_; }
    // Moves the session on now, as the timer does.
    void Tick();

signals:
    void resultShown();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* BuildSettingsPage();
    QWidget* BuildWorkPage();
    // The row's frame in `colour` (the cue at a line change, transparent otherwise).
    static QString RowStyle(const QString& colour);
    void LoadSettings(const SessionSettings& settings);
    SessionSettings ChosenSettings() const;
    void StartSession();
    bool AskStop();
    void ShowResult();
    void BoxEdited(int box);

    // SessionView
    void ShowRow(const DigitRow& digits, bool difference) override;
    void MarkBox(int box, bool correct) override;
    void FocusBox(int box) override;
    void LineChanged() override;
    void SetLineLabel(const std::string& text) override;
    void ShowTimeLeft(int seconds) override;
    void ShowRestCountdown(int secondsLeft) override;
    void ShowReadySignal(int step, int half) override;
    void ShowFinished(bool stopped) override;

    void SetRowEnabled(bool on);
    // Large and centred while the lines run; back to the settings' size with the result.
    void EnterWorkingSize();
    void LeaveWorkingSize();

    QString logPath_;
    WidgetBoxes messages_{this};
    std::shared_ptr<LogOwner> owner_;  // held while the window lives, so its warnings reach it
    LinkFactory makeLink_;
    WindowClock clock_;
    std::unique_ptr<Clock> wallClock_;
    std::unique_ptr<DigitSource> digits_;
    std::unique_ptr<SessionLogLink> link_;
    std::unique_ptr<PracticeSession> session_;
    bool kept_ = false;  // the session's lines go to the log
    bool resultPending_ = false;
    bool workingSize_ = false;
    QRect settingsGeometry_;

    QStackedWidget* pages_ = nullptr;
    QSpinBox* lineSeconds_ = nullptr;
    QSpinBox* firstLines_ = nullptr;
    QSpinBox* secondLines_ = nullptr;
    QSpinBox* restMinutes_ = nullptr;
    QComboBox* mode_ = nullptr;
    QCheckBox* showMarks_ = nullptr;
    QCheckBox* showTimeLeft_ = nullptr;
    QPushButton* start_ = nullptr;

    QLabel* lineLabel_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    QLabel* timeLeft_ = nullptr;
    QLabel* status_ = nullptr;
    std::array<QLabel*, 3> lights_{};
    QFrame* rowFrame_ = nullptr;
    std::array<QLabel*, kDigitCount> digitLabels_{};
    std::array<QLineEdit*, kBoxCount + 1> boxes_{};  // 1..14
    QTimer* timer_ = nullptr;
    QTimer* flash_ = nullptr;
    QPointer<SessionResultWindow> result_;
};

}  // namespace keta
