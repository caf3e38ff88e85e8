#include "figure_label.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <utility>

namespace keta {

FigureLabel::FigureLabel(QString caption, QWidget* parent)
    : QLabel(parent), caption_(std::move(caption)) {
    setText(QStringLiteral("なし"));
}

void FigureLabel::setText(const QString& value) {
    QLabel::setText(value);
    setAccessibleName(caption_ + u' ' + value);
    // A reader that already has the label in focus hears the new value.
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void FitToScreen(QWidget& window) {
    QScreen* screen = window.screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    // Leave room for the frame and title bar, which the window manager adds outside the size.
    const QSize room(area.width() * 95 / 100, area.height() * 90 / 100);
    const QSize wanted = window.sizeHint().expandedTo(window.minimumSizeHint());
    QSize size = wanted.boundedTo(room);
    size = size.expandedTo(window.minimumSize().boundedTo(room));
    window.resize(size);
    const QRect frame = window.frameGeometry();
    const QSize outer(size.width() + (frame.width() - window.width()),
                      size.height() + (frame.height() - window.height()));
    QPoint topLeft = window.pos();
    topLeft.setX(
        std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - outer.width())));
    topLeft.setY(
        std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() - outer.height())));
    window.move(topLeft);
}

void CentreOver(QWidget& window, const QWidget& over) {
    QScreen* screen = over.screen() != nullptr ? over.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), window.frameGeometry().size());
    frame.moveCenter(over.frameGeometry().center());
    window.move(std::clamp(frame.left(), area.left(),
                           std::max(area.left(), area.right() + 1 - frame.width())),
                std::clamp(frame.top(), area.top(),
                           std::max(area.top(), area.bottom() + 1 - frame.height())));
}

}  // namespace keta
