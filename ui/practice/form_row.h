#pragma once
// The pieces of a practice window's settings page: a row of a visible caption and its control
// (the control named after the caption for screen readers and reached from the caption's
// mnemonic), and the start button.

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
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

// The start button of a practice window's settings page: Enter and Alt+S press it.
inline QPushButton* StartButton() {
    auto* start = new QPushButton(QStringLiteral("開始(&S)"));
    start->setObjectName(QStringLiteral("start"));
    start->setAccessibleName(QStringLiteral("開始"));
    start->setDefault(true);
    start->setAutoDefault(true);
    return start;
}

}  // namespace keta
