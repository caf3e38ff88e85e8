#pragma once
// An editable combo that tells a pick from its list apart from typing. Qt's `activated` also
// fires when editing finishes on text that happens to match an entry (Tab, Enter, focus lost);
// only a pick with the mouse in the list, or the arrow keys and the wheel stepping through it,
// is a choice the user made of an entry.

#include <QComboBox>

namespace keta {

class ListPickCombo : public QComboBox {
    Q_OBJECT

public:
    explicit ListPickCombo(QWidget* parent = nullptr);

    void hidePopup() override;

signals:
    // An entry was chosen from the list.
    void listPicked(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // True while Qt handles an event that can only pick from the list.
    bool picking_ = false;
    // The list has just closed: its own `activated` for the entry chosen follows at once.
    bool popupClosing_ = false;
};

}  // namespace keta
