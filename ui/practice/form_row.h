#pragma once
// A settings row of a practice window: a visible caption and its control, the control named
// after the caption for screen readers and reached from the caption's mnemonic.

#include <QFormLayout>
#include <QLabel>
#include <QString>

namespace keta {

template <typename Control>
Control* AddRow(QFormLayout& form, const QString& caption, Control* control,
                const QString& objectName) {
    control->setObjectName(objectName);
    control->setAccessibleName(caption);
    auto* label = new QLabel(caption);
    label->setBuddy(control);
    form.addRow(label, control);
    return control;
}

}  // namespace keta
