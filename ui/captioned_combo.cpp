#include "captioned_combo.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace keta {
namespace {

class CaptionedCombo : public QAccessibleWidget {
public:
    explicit CaptionedCombo(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return Box()->accessibleName();
        if (t == QAccessible::Value) return Box()->currentText();
        return QAccessibleWidget::text(t);
    }
    // The list that drops down, as Qt's own combo box gives it.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == Box()->view() ? 0 : -1;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = Box()->view()->isVisible();
        return s;
    }
    QStringList actionNames() const override {
        return {QAccessibleActionInterface::showMenuAction(),
                QAccessibleActionInterface::pressAction()};
    }
    void doAction(const QString& name) override {
        if (name == QAccessibleActionInterface::showMenuAction() ||
            name == QAccessibleActionInterface::pressAction()) {
            Box()->showPopup();
        } else {
            QAccessibleWidget::doAction(name);
        }
    }

private:
    QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* Make(const QString& className, QObject* object) {
    // Only combo boxes that have a name; the others keep Qt's own reading.
    auto* box = qobject_cast<QComboBox*>(object);
    if (box == nullptr || className != QLatin1String(box->metaObject()->className()) ||
        box->accessibleName().isEmpty() || box->isEditable())
        return nullptr;
    return new CaptionedCombo(box);
}

}  // namespace

void NameComboBoxesByCaption() {
    static const bool installed = [] {
        QAccessible::installFactory(&Make);
        return true;
    }();
    (void)installed;
}

}  // namespace keta
