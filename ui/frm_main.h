#pragma once
// The main window: every control at its place, and the binding of their events to the drill's
// and the store's handlers. The window is the drill's view, the settings' controls and the
// store's message boxes.

#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <memory>

#include "control_array.h"
#include "drill.h"
#include "drill_view.h"
#include "list_pick_combo.h"
#include "message_boxes.h"
#include "settings_controls.h"

namespace keta {

class HistoryGrid;
class HistoryModel;
class HistoryFile;
class SettingsFile;
class ResultSaver;
class LogOwner;
class RoundRecorder;

// The program's icon: the main window's, and every other window's through the application.
QIcon ProgramIcon();

class FrmMain : public QWidget, public DrillView, public SettingsControls, public MessageBoxes {
    Q_OBJECT

public:
    // `clock` may be given by tests; the window uses the wall clock otherwise.
    explicit FrmMain(Clock* clock = nullptr, QWidget* parent = nullptr);
    ~FrmMain() override;

    Drill& drill() { return *drill_; }
    DrillState& state() { return drill_->State(); }
    HistoryModel& historyModel() { return *historyModel_; }
    HistoryFile& historyFile() { return *historyFile_; }
    SettingsFile& settingsFile() { return *settingsFile_; }
    ResultSaver& saver() { return *saver_; }
    // Waits, at most `timeoutMs`, until the answer log's owner has tried every write handed
    // to it; false when it could not in that time.
    bool SettleAnswerLog(int timeoutMs);
    LogOwner& logOwner() { return *logOwner_; }

    // Controls, under their names; arrays keep their index ranges (slot 0 unused where they
    // start at 1).
    QLabel* Image1 = nullptr;
    QToolButton* cmdStart = nullptr;
    QToolButton* cmdHozon = nullptr;
    QToolButton* cmdClear = nullptr;
    QToolButton* cmdHelp = nullptr;
    QToolButton* cmdEnd = nullptr;
    QFrame* Frame1 = nullptr;
    QFrame* Frame2 = nullptr;
    ControlArray<QFrame, 2> Line1;
    ControlArray<QLabel, 4> imgStart;
    ControlArray<QLabel, 2> Label1;
    ListPickCombo* cboJikan = nullptr;
    ListPickCombo* cboMode = nullptr;
    QToolButton* chkAs = nullptr;
    QLabel* lblOk = nullptr;
    QLabel* lblNg = nullptr;
    QLabel* lblRitu = nullptr;
    QLabel* lblByou = nullptr;
    QFrame* shpJikanK = nullptr;
    QFrame* shpJikanB = nullptr;
    ControlArray<QLabel, kDigitCount + 1> lblMondai;
    ControlArray<QLineEdit, kBoxCount + 1> txtKaitou;
    HistoryGrid* msgRireki = nullptr;
    QTimer* tmrStart = nullptr;
    QTimer* tmrBp = nullptr;

    // DrillView
    void SetDigitCaption(int j, const std::string& caption) override;
    std::string DigitCaption(int j) const override;
    std::string BoxText(int i) const override;
    void SetBoxText(int i, const std::string& text) override;
    void SetBoxBackground(int i, PaletteColour colour) override;
    void SetBoxVisible(int i, bool visible) override;
    void FocusBox(int i) override;
    std::string ModeText() const override;
    void SetResultCaption(ResultLabel label, const std::string& caption) override;
    void SetStartEnabled(bool enabled) override;
    void FocusStart() override;
    void SetLightVisible(int i, bool visible) override;
    void SetBarWidth(float width) override;

    // SettingsControls
    std::int16_t AutoSaveState() const override { return autoSaveState_; }
    void SetAutoSaveState(std::int16_t state) override;
    QString TimeLimitText() const override { return cboJikan->currentText(); }

    // MessageBoxes
    Answer AskOkCancelWarning(const QString& text, const QString& title) override;
    void InformOk(const QString& text, const QString& title) override;
    void ReportError(const QString& text, const QString& title) override;

    // The bar's width in layout units, as start-up reads it back.
    double BarWidth() const { return barWidthTwips_; }

signals:
    void helpClicked();
    void endClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildTopStrip();
    void BuildSettingsArea();
    void BuildResultLabels();
    void BuildDrillArea();
    void BuildHistoryGrid();
    void SetStacking();
    // Answer boxes: the index of the box an event is for (0 for none), and its handling.
    int BoxIndex(const QObject* watched) const;
    void BoxEvent(int i, QEvent* event);
    static bool IsInputMethodKey(int key);
    static void SetBoxInputMethod(QLineEdit* box, bool on);
    void SetTabOrder();
    void Bind();

    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<Drill> drill_;
    std::unique_ptr<HistoryModel> historyModel_;
    std::unique_ptr<HistoryFile> historyFile_;
    std::unique_ptr<SettingsFile> settingsFile_;
    std::unique_ptr<ResultSaver> saver_;
    std::shared_ptr<LogOwner> logOwner_;       // the answer log's one owner, on a thread of its own
    std::unique_ptr<RoundRecorder> recorder_;  // listens to drill_ and saver_, feeds logOwner_
    double barWidthTwips_ = 0;
    std::int16_t autoSaveState_ = 1;  // on at creation
    int pressedBox_ = 0;              // the box the left button went down in, until it comes up
};

}  // namespace keta
