#pragma once
// Start-up, help and exit around the main window.

#include <QObject>
#include <functional>
#include <memory>

#include "frm_main.h"

namespace keta {

class Shell : public QObject {
    Q_OBJECT

public:
    // `quit` ends the program; tests give their own.
    explicit Shell(Clock* clock = nullptr, std::function<void()> quit = {});
    ~Shell() override;

    FrmMain& window() { return *window_; }

    void Form_Load();
    void cmdHelp_Click();
    void cmdEnd_Click();

private:
    std::unique_ptr<FrmMain> window_;
    std::function<void()> quit_;
};

}  // namespace keta
