#include "web_drill.h"

#include "json_text.h"

namespace keta::web {
namespace {

const char* ColourName(PaletteColour colour) {
    switch (colour) {
        case PaletteColour::Green:
            return "green";
        case PaletteColour::Red:
            return "red";
        case PaletteColour::White:
            break;
    }
    return "white";
}

}  // namespace

WebDrill::WebDrill() : drill_(*this, *this) {
    DrillState& s = drill_.State();
    s.intHaba = kBarUnits;
    drill_.ResetRowAtStartup();
    // The result figures stay empty until the first start, as on the desktop.
    results_ = {};
}

void WebDrill::BoxEdited(int i, std::string text) {
    if (i < 1 || i > kBoxCount) return;
    boxes_[static_cast<std::size_t>(i)].text = std::move(text);
    drill_.txtKaitou_Change(static_cast<std::int16_t>(i));
}

void WebDrill::SetDigitCaption(int j, const std::string& caption) {
    if (j >= 1 && j <= kDigitCount) digits_[static_cast<std::size_t>(j)] = caption;
}

std::string WebDrill::DigitCaption(int j) const {
    return j >= 1 && j <= kDigitCount ? digits_[static_cast<std::size_t>(j)] : std::string();
}

std::string WebDrill::BoxText(int i) const {
    return i >= 1 && i <= kBoxCount ? boxes_[static_cast<std::size_t>(i)].text : std::string();
}

void WebDrill::SetBoxText(int i, const std::string& text) {
    if (i >= 1 && i <= kBoxCount) boxes_[static_cast<std::size_t>(i)].text = text;
}

void WebDrill::SetBoxBackground(int i, PaletteColour colour) {
    if (i >= 1 && i <= kBoxCount) boxes_[static_cast<std::size_t>(i)].colour = colour;
}

void WebDrill::SetBoxVisible(int i, bool visible) {
    if (i >= 1 && i <= kBoxCount) boxes_[static_cast<std::size_t>(i)].visible = visible;
}

void WebDrill::SetResultCaption(ResultLabel label, const std::string& caption) {
    results_[static_cast<std::size_t>(label)] = caption;
}

void WebDrill::SetLightVisible(int i, bool visible) {
    if (i >= 1 && i <= kLightCount) lights_[static_cast<std::size_t>(i)] = visible;
}

std::string WebDrill::Snapshot() const {
    const DrillState& s = drill_.State();
    JsonText json;
    json.Begin('{');
    json.Key("digits").Begin('[');
    for (int j = 1; j <= kDigitCount; ++j) json.Text(digits_[static_cast<std::size_t>(j)]);
    json.End(']');
    json.Key("boxes").Begin('[');
    for (int i = 1; i <= kBoxCount; ++i) {
        const Box& box = boxes_[static_cast<std::size_t>(i)];
        json.Begin('{');
        json.Key("text").Text(box.text);
        json.Key("colour").Text(ColourName(box.colour));
        json.Key("visible").Flag(box.visible);
        json.End('}');
    }
    json.End(']');
    json.Key("results").Begin('{');
    static constexpr const char* kNames[] = {"ok", "ng", "ritu", "byou"};
    for (std::size_t k = 0; k < 4; ++k) json.Key(kNames[k]).Text(results_[k]);
    json.End('}');
    json.Key("lights").Begin('[');
    for (int k = 1; k <= kLightCount; ++k) json.Flag(lights_[static_cast<std::size_t>(k)]);
    json.End(']');
    json.Key("bar").Real(static_cast<double>(barWidth_) / kBarUnits);
    json.Key("focus").Number(focus_);
    json.Key("focusRequests").Number(focusRequests_);
    json.Key("startEnabled").Flag(startEnabled_);
    json.Key("countdown").Flag(s.blnCountdown != False);
    json.Key("play").Flag(s.blnPlay != False);
    json.Key("closed").Flag(s.blnOwari != False);
    json.Key("secondsLeft").Number(s.intNokori);
    json.Key("timeLimit").Number(s.intJikan);
    json.Key("autoSave").Number(s.intAs);
    json.Key("canSave").Flag(CanSaveResult(s));
    json.Key("saves").Number(saves_);
    json.Key("saveFailures").Number(saveFailures_);
    json.Key("saveError").Text(saveError_);
    json.End('}');
    return json.Str();
}

}  // namespace keta::web
