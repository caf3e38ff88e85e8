#pragma once
// What the drill logic needs of the window. Every operation runs at once, on the UI thread.
// Texts are UTF-8. Indexes are those of the control arrays: digits 1..15, boxes 1..14,
// countdown images 1..3.

#include <string>

namespace keta {

inline constexpr int kDigitCount = 15;
inline constexpr int kBoxCount = 14;
inline constexpr int kLightCount = 3;

// Entries of the standard sixteen-colour palette that the drill sets at run time.
enum class PaletteColour { Green = 10, Red = 12, White = 15 };

enum class ResultLabel { Ok, Ng, Ritu, Byou };  // lblOk, lblNg, lblRitu, lblByou

class DrillView {
public:
    virtual ~DrillView() = default;

    virtual void SetDigitCaption(int j, const std::string& caption) = 0;
    virtual std::string DigitCaption(int j) const = 0;

    virtual std::string BoxText(int i) const = 0;
    // Only sets the text. The drill runs the box's change handling itself afterwards; the
    // window must not report a program's setting as a change.
    virtual void SetBoxText(int i, const std::string& text) = 0;
    virtual void SetBoxBackground(int i, PaletteColour colour) = 0;
    virtual void SetBoxVisible(int i, bool visible) = 0;
    virtual void FocusBox(int i) = 0;

    virtual std::string ModeText() const = 0;
    virtual void SetResultCaption(ResultLabel label, const std::string& caption) = 0;

    virtual void SetStartEnabled(bool enabled) = 0;
    virtual void FocusStart() = 0;
    virtual void SetLightVisible(int i, bool visible) = 0;
    virtual void SetBarWidth(float width) = 0;  // layout units (twips)
};

}  // namespace keta
