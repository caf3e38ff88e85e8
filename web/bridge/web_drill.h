#pragma once
// The drill behind the browser page: the engine's Drill with a view that keeps what the page
// is to show, so that every rule runs here and the page only draws the snapshot it is given.

#include <array>
#include <functional>
#include <string>

#include "clock.h"
#include "drill.h"
#include "drill_view.h"

namespace keta::web {

class WebDrill final : public DrillView, public Clock {
public:
    // The bar's full width in the drill's units; the page draws width / kBarUnits of its track.
    static constexpr int kBarUnits = 1000;

    WebDrill();

    Drill& Engine() { return drill_; }
    const DrillState& State() const { return drill_.State(); }

    // The page's clock reading, set before every event it forwards.
    void SetNow(double secondsSinceMidnight) { now_ = secondsSinceMidnight; }
    void SetMode(std::string modeText) { mode_ = std::move(modeText); }
    // The text the person typed into box `i`; the change handling then runs.
    void BoxEdited(int i, std::string text);

    // What the last save did: the count of results kept so far goes up, or the error is said.
    void NoteSave(bool kept, std::string error) {
        if (kept) {
            ++saves_;
        } else {
            ++saveFailures_;
            saveError_ = std::move(error);
        }
    }

    // Everything the page shows of the drill, as JSON.
    std::string Snapshot() const;

    // DrillView
    void SetDigitCaption(int j, const std::string& caption) override;
    std::string DigitCaption(int j) const override;
    std::string BoxText(int i) const override;
    void SetBoxText(int i, const std::string& text) override;
    void SetBoxBackground(int i, PaletteColour colour) override;
    void SetBoxVisible(int i, bool visible) override;
    void FocusBox(int i) override {
        focus_ = i;
        ++focusRequests_;
    }
    std::string ModeText() const override { return mode_; }
    void SetResultCaption(ResultLabel label, const std::string& caption) override;
    void SetStartEnabled(bool enabled) override { startEnabled_ = enabled; }
    void FocusStart() override {
        focus_ = kStartFocus;
        ++focusRequests_;
    }
    void SetLightVisible(int i, bool visible) override;
    void SetBarWidth(float width) override { barWidth_ = width; }

    // Clock
    double SecondsSinceMidnight() override { return now_; }

private:
    static constexpr int kStartFocus = -1;
    struct Box {
        std::string text;
        PaletteColour colour = PaletteColour::White;
        bool visible = false;
    };

    std::array<std::string, kDigitCount + 1> digits_;
    std::array<Box, kBoxCount + 1> boxes_;
    std::array<std::string, 4> results_;
    std::array<bool, kLightCount + 1> lights_{};
    std::string mode_ = "＋";
    double now_ = 0;
    float barWidth_ = 0;
    int focus_ = 0;  // a box 1..14, kStartFocus for the start button, 0 for none asked
    // Counts the drill's focus moves, so that the page moves the focus only when the drill did
    // and leaves a box the person clicked alone.
    long long focusRequests_ = 0;
    bool startEnabled_ = true;
    long long saves_ = 0;
    long long saveFailures_ = 0;
    std::string saveError_;
    Drill drill_;
};

}  // namespace keta::web
