#pragma once
// Where the program's other windows open: where the person last put each one when that is
// still on a screen, otherwise beside the main window, inside the screen and clear of the
// main window's start and save buttons.

#include <QHash>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <functional>
#include <optional>

class QWidget;

namespace keta {

// The frame for a window whose frame is `outer` big (`least` at the smallest), beside `main`
// (the main window's frame) on its right, else on its left, else over it below `keepClear`
// (shortened down to `least` if need be); always inside `area`, with `titleRoom` above the
// frame kept for a title bar that a window manager may add later. Only on a screen too small
// for any of these does it cover `keepClear`.
QRect BesideRect(const QRect& main, QSize outer, QSize least, const QRect& area,
                 const QRect& keepClear, int titleRoom);

class WindowPlacer : public QObject {
public:
    // Where a window was put, by its object name; and a place to keep it.
    using Recall = std::function<std::optional<QPoint>(const QString& name)>;
    using Remember = std::function<void(const QString& name, QPoint at)>;

    // `main` is (a part of) the main window; `keepClear` gives the global rectangle of its start
    // and save buttons.
    WindowPlacer(QWidget& main, std::function<QRect()> keepClear, Recall recall, Remember remember);

    // Places `window` each time it is shown, until the person moves it.
    void Manage(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct State {
        QPoint placedAt;   // where this placer last put it
        QMargins margins;  // its frame's, as they were then
        bool placing = false;
        bool shown = false;
        std::optional<QPoint> recalled;  // where the person left it, as this showing found
    };
    void Place(QWidget& window, State& state);

    QWidget& main_;
    std::function<QRect()> keepClear_;
    Recall recall_;
    Remember remember_;
    QHash<QWidget*, State> states_;
    QHash<QString, QPoint> remembered_;
    bool inPlace_ = false;  // this run's, before the log has them
};

}  // namespace keta
