#include "list_pick_combo.h"

#include <QKeyEvent>
#include <QTimer>
#include <QWheelEvent>

namespace keta {
namespace {

bool StepsThroughTheList(int key) {
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

// Sets a flag for the length of a scope, whatever it was before.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

}  // namespace

ListPickCombo::ListPickCombo(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (picking_ || popupClosing_) emit listPicked(index);
    });
}

void ListPickCombo::hidePopup() {
    // Qt closes the list before it reports the entry clicked or chosen with Enter there; the
    // report comes within the same event, so the flag lives until the event loop turns.
    popupClosing_ = true;
    QComboBox::hidePopup();
    QTimer::singleShot(0, this, [this] { popupClosing_ = false; });
}

void ListPickCombo::keyPressEvent(QKeyEvent* event) {
    if (!StepsThroughTheList(event->key())) {
        QComboBox::keyPressEvent(event);
        return;
    }
    FlagScope scope(picking_);
    QComboBox::keyPressEvent(event);
}

void ListPickCombo::wheelEvent(QWheelEvent* event) {
    FlagScope scope(picking_);
    QComboBox::wheelEvent(event);
}

}  // namespace keta
