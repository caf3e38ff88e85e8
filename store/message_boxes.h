#pragma once
// The message boxes that the store shows. The window implements them with real dialogs;
// tests record what was asked.

#include <QString>

namespace keta {

class MessageBoxes {
public:
    enum class Answer { Ok, Cancel };

    virtual ~MessageBoxes() = default;

    // OK and Cancel with the warning icon; OK is the default button.
    virtual Answer AskOkCancelWarning(const QString& text, const QString& title) = 0;
    // OK only, with the information icon.
    virtual void InformOk(const QString& text, const QString& title) = 0;
    // A file problem the user must know about. OK only, with the critical or warning icon.
    virtual void ReportError(const QString& text, const QString& title) = 0;
};

}  // namespace keta
