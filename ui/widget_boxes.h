#pragma once
// The store's message boxes as real dialogs over a window of the program, for the windows that
// are not the main one (the main window is its own).

#include <QMessageBox>
#include <QWidget>

#include "message_boxes.h"

namespace keta {

class WidgetBoxes : public MessageBoxes {
public:
    explicit WidgetBoxes(QWidget* parent) : parent_(parent) {}

    Answer AskOkCancelWarning(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                        parent_);
        box.setDefaultButton(QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    }
    void InformOk(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent_);
        box.exec();
    }
    void ReportError(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent_);
        box.exec();
    }

private:
    QWidget* parent_;
};

}  // namespace keta
