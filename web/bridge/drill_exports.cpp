// The drill's C entry points for the page (called through cwrap: no embind, so the loader
// needs no eval). Texts cross as UTF-8; the returned text stays valid until the next call.

#include <string>

#include "bridge.h"
#include "export.h"
#include "web_drill.h"

using keta::web::WebDrill;

extern "C" {

KETA_EXPORT void keta_drill_set_now(double secondsSinceMidnight) {
    keta::web::TheDrill().SetNow(secondsSinceMidnight);
}

KETA_EXPORT void keta_drill_set_mode(const char* modeText) {
    keta::web::TheDrill().SetMode(modeText != nullptr ? modeText : "");
}

KETA_EXPORT int keta_drill_set_time_limit(int seconds) {
    return keta::web::SetTimeLimit(seconds) ? 1 : 0;
}

KETA_EXPORT void keta_drill_set_auto_save(int on) {
    keta::web::TheDrill().Engine().State().intAs = on == 1 ? 1 : 0;
}

KETA_EXPORT void keta_drill_start() { keta::web::TheDrill().Engine().cmdStart_Click(); }

// Both of the window's one-second timers, in the order the desktop creates them.
KETA_EXPORT void keta_drill_tick() {
    keta::Drill& drill = keta::web::TheDrill().Engine();
    drill.tmrStart_Timer();
    drill.tmrBp_Timer();
}

KETA_EXPORT void keta_drill_box_edited(int box, const char* text) {
    keta::web::TheDrill().BoxEdited(box, text != nullptr ? text : "");
}

KETA_EXPORT void keta_drill_box_clicked(int box) {
    if (box >= 1 && box <= keta::kBoxCount)
        keta::web::TheDrill().Engine().txtKaitou_Click(static_cast<std::int16_t>(box));
}

KETA_EXPORT void keta_drill_save() { keta::web::TheDrill().Engine().cmdHozon_Click(); }

KETA_EXPORT const char* keta_drill_snapshot() {
    return keta::web::GiveOut(keta::web::TheDrill().Snapshot());
}

}  // extern "C"
