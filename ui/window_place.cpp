#include "window_place.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace keta {
namespace {

constexpr int kGap = 8;
// What a window manager's title bar takes above a window, assumed while the frame is unknown.
constexpr int kAssumedTitleBar = 24;
constexpr int kLeastTitleBar = 10;

int Clamped(int value, int low, int high) { return std::clamp(value, low, std::max(low, high)); }

QMargins FrameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

}  // namespace

QRect BesideRect(const QRect& main, QSize outer, QSize least, const QRect& area,
                 const QRect& keepClear, int titleRoom) {
    const QRect inside = area.adjusted(0, titleRoom, 0, 0);
    const auto fits = [&](const QRect& r) {
        return inside.contains(r) && !r.intersects(keepClear);
    };
    const auto clampedX = [&](int x, int width) {
        return Clamped(x, inside.left(), inside.right() + 1 - width);
    };
    const int top = Clamped(main.top(), inside.top(), inside.bottom() + 1 - outer.height());
    const QRect right(QPoint(main.right() + 1 + kGap, top), outer);
    if (fits(right)) return right;
    const QRect left(QPoint(main.left() - kGap - outer.width(), top), outer);
    if (fits(left)) return left;
    // Over the main window, under its buttons; shortened to the screen's foot if it may be.
    QRect over(QPoint(0, 0), outer);
    over.moveCenter(main.center());
    QRect below(QPoint(clampedX(over.left(), outer.width()), keepClear.bottom() + 1 + kGap), outer);
    if (keepClear.isEmpty()) below.moveTop(over.top());
    if (fits(below)) return below;
    below.setBottom(inside.bottom());
    if (below.height() >= least.height() && fits(below)) return below;
    // A screen too small for that: inside it, whatever it covers.
    return {QPoint(clampedX(over.left(), outer.width()),
                   Clamped(over.top(), inside.top(), inside.bottom() + 1 - outer.height())),
            outer};
}

WindowPlacer::WindowPlacer(QWidget& main, std::function<QRect()> keepClear, Recall recall,
                           Remember remember)
    : QObject(&main),
      main_(main),
      keepClear_(std::move(keepClear)),
      recall_(std::move(recall)),
      remember_(std::move(remember)) {}

void WindowPlacer::Manage(QWidget& window) {
    states_.insert(&window, State{});
    window.installEventFilter(this);
    connect(&window, &QObject::destroyed, this,
            [this, at = &window] { states_.remove(static_cast<QWidget*>(at)); });
}

bool WindowPlacer::eventFilter(QObject* watched, QEvent* event) {
    auto* window = static_cast<QWidget*>(watched);
    const auto found = states_.find(window);
    if (found == states_.end()) return QObject::eventFilter(watched, event);
    State& state = *found;
    switch (event->type()) {
        case QEvent::Show:
            if (!state.shown) {
                state.shown = true;
                // Where the person left it, looked up once a showing: the places again while
                // it settles read no file.
                if (const auto kept = remembered_.find(window->objectName());
                    kept != remembered_.end()) {
                    state.recalled = *kept;
                } else {
                    state.recalled = recall_ ? recall_(window->objectName()) : std::nullopt;
                }
                Place(*window, state);
                // A window that settles its layout once shown grows: it is placed again, for a
                // moment, as long as the person has not moved it.
                state.placing = true;
                QTimer::singleShot(2000, window, [this, window] {
                    const auto again = states_.find(window);
                    if (again != states_.end()) again->placing = false;
                });
                // The window manager's frame may come without an event of its own.
                for (const int ms : {150, 500, 1200}) {
                    QTimer::singleShot(ms, window, [this, window] {
                        const auto again = states_.find(window);
                        if (again != states_.end() && again->shown && again->placing &&
                            FrameMargins(*window) != again->margins)
                            Place(*window, *again);
                    });
                }
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // Placed again while it settles: when it grows, and when the window manager has
            // put its frame around it, which the first placing could only assume.
            if (state.shown && state.placing && !inPlace_ &&
                (window->pos() == state.placedAt || FrameMargins(*window) != state.margins))
                Place(*window, state);
            break;
        case QEvent::Hide:
            if (state.shown && window->pos() != state.placedAt) {
                remembered_.insert(window->objectName(), window->pos());
                if (remember_) remember_(window->objectName(), window->pos());
            }
            state.shown = false;
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void WindowPlacer::Place(QWidget& window, State& state) {
    const QWidget& main = *main_.window();
    QScreen* screen = main.screen() != nullptr ? main.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // Until the window manager has framed this window, its frame is taken to be the main
    // window's.
    QMargins margins = FrameMargins(window);
    if (margins.isNull()) margins = FrameMargins(main);
    const QSize outer = window.size().grownBy(margins);
    const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize()).grownBy(margins);
    // A top edge of a few pixels (a border, or the rounding of a scaled screen) is no title bar.
    const int titleRoom = margins.top() >= kLeastTitleBar ? 0 : kAssumedTitleBar;

    std::optional<QPoint> at = state.recalled;
    // A place on a screen that is gone, or that the window no longer fits, is not used.
    const auto onScreen = [&](QPoint p) {
        const QRect frame(p, outer);
        for (QScreen* s : QGuiApplication::screens()) {
            if (s->availableGeometry().adjusted(0, titleRoom, 0, 0).contains(frame)) return true;
        }
        return false;
    };
    if (!at || !onScreen(*at)) {
        const QRect place =
            BesideRect(main.frameGeometry(), outer, least, screen->availableGeometry(),
                       keepClear_ ? keepClear_() : QRect(), titleRoom);
        at = place.topLeft();
        if (place.size() != outer) {
            inPlace_ = true;  // its own resize is no reason to place it again
            window.resize(place.size().shrunkBy(margins));
            inPlace_ = false;
        }
    }
    state.placedAt = *at;
    state.margins = FrameMargins(window);
    inPlace_ = true;
    window.move(*at);
    inPlace_ = false;
}

}  // namespace keta
