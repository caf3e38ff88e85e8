#pragma once
// The pieces of a practice window's settings page: a row of a visible caption and its control
// (the control named after the caption for screen readers and reached from the caption's
// mnemonic), and the start button.

#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include "captioned_combo.h"

namespace keta {

template <typename Control>
Control* AddRow(QFormLayout& form, const QString& caption, Control* control,
                const QString& objectName) {
    NameComboBoxesByCaption();
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

// Asks whether to stop the practice under way, No first; afterwards the window and the box
// being worked on have the keys again, whatever the window system did with the focus. True
// for Yes.
inline bool AskToStop(QWidget& window, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, &window);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const bool yes = box.exec() == QMessageBox::Yes;
    window.activateWindow();
    if (focus != nullptr) focus->setFocus();
    return yes;
}

}  // namespace keta
