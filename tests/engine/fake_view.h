#pragma once
// A view that records what the drill does to it, and a clock the test moves by hand.

#include <array>
#include <string>
#include <vector>

#include "clock.h"
#include "drill.h"
#include "drill_view.h"
#include "layout_twips.h"

namespace keta::test {

struct Box {
    std::string text;
    int colour = 0;  // 0 until the drill sets a palette colour
    bool visible = true;
};

class FakeView : public DrillView {
public:
    std::array<std::string, kDigitCount + 1> digits{};
    std::array<Box, kBoxCount + 1> boxes{};
    std::array<bool, kLightCount + 1> lights{false, true, true, true};
    std::string mode = "＋";
    std::string lblOk, lblNg, lblRitu, lblByou;
    bool startEnabled = false;
    std::string focus;  // "box3", "start", ...
    float barWidth = kTimeBarTwips.width;
    std::vector<std::string> log;  // one entry per call, in order

    void SetDigitCaption(int j, const std::string& c) override {
        digits[j] = c;
        log.push_back("digit" + std::to_string(j) + "=" + c);
    }
    std::string DigitCaption(int j) const override { return digits[j]; }
    std::string BoxText(int i) const override { return boxes[i].text; }
    void SetBoxText(int i, const std::string& t) override {
        boxes[i].text = t;
        log.push_back("text" + std::to_string(i) + "=" + t);
    }
    void SetBoxBackground(int i, PaletteColour c) override {
        boxes[i].colour = static_cast<int>(c);
        log.push_back("colour" + std::to_string(i) + "=" + std::to_string(static_cast<int>(c)));
    }
    void SetBoxVisible(int i, bool v) override {
        boxes[i].visible = v;
        log.push_back(std::string(v ? "show" : "hide") + std::to_string(i));
    }
    void FocusBox(int i) override {
        focus = "box" + std::to_string(i);
        log.push_back("focus=" + focus);
    }
    std::string ModeText() const override { return mode; }
    void SetResultCaption(ResultLabel l, const std::string& c) override {
        static const char* names[] = {"lblOk", "lblNg", "lblRitu", "lblByou"};
        (l == ResultLabel::Ok     ? lblOk
         : l == ResultLabel::Ng   ? lblNg
         : l == ResultLabel::Ritu ? lblRitu
                                  : lblByou) = c;
        log.push_back(std::string(names[static_cast<int>(l)]) + "=" + c);
    }
    void SetStartEnabled(bool e) override {
        startEnabled = e;
        log.push_back(e ? "start enabled" : "start disabled");
    }
    void FocusStart() override {
        focus = "start";
        log.push_back("focus=start");
    }
    void SetLightVisible(int i, bool v) override { lights[i] = v; }
    void SetBarWidth(float w) override { barWidth = w; }

    int Count(const std::string& entry) const {
        int n = 0;
        for (const auto& e : log) n += e == entry;
        return n;
    }
};

class ScriptedClock : public Clock {
public:
    double now = 12 * 3600 + 0.25;
    double SecondsSinceMidnight() override { return now; }
};

// A drill wired to a fake view and clock, with the window's first box text and the settings
// a fresh start-up would leave.
struct Rig {
    FakeView view;
    ScriptedClock clock;
    Drill drill{view, clock};
    int saves = 0;
    std::vector<DrillState> savedStates;

    Rig() {
        view.boxes[1].text = "8";
        drill.State().intJikan = 60;
        drill.State().intAs = 1;
        drill.State().intHaba = kTimeBarTwips.width;  // what start-up reads back
        drill.AttachSave([this] {
            ++saves;
            savedStates.push_back(drill.State());
        });
    }
    // What the window does for a user's edit: the text changes, then the handler runs.
    void Type(int i, const std::string& text) {
        view.boxes[i].text = text;
        drill.txtKaitou_Change(static_cast<std::int16_t>(i));
    }
    void StartPlay() {
        drill.cmdStart_Click();
        for (int k = 0; k < 3; ++k) drill.tmrStart_Timer();
    }
    // Expected answer for box i from the digits on show.
    int Expected(int i) const {
        const int a = view.digits[i][0] - '0', b = view.digits[i + 1][0] - '0';
        return view.mode == "－" ? std::abs(a - b) : (a + b) % 10;
    }
    void SetDigits(const std::string& fifteen) {
        for (int j = 1; j <= kDigitCount; ++j) view.digits[j] = fifteen.substr(j - 1, 1);
    }
};

}  // namespace keta::test
