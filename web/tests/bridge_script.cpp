// Runs a fixed set of inputs through the bridge's C entry points and the shared rules and prints
// every output. Built natively and as WebAssembly (for Node.js); the two printouts must be the
// same byte for byte, which shows that the browser computes what the desktop computes.

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "number_text.h"

extern "C" {
void keta_drill_set_now(double secondsSinceMidnight);
void keta_drill_set_mode(const char* modeText);
int keta_drill_set_time_limit(int seconds);
void keta_drill_set_auto_save(int on);
void keta_drill_start();
void keta_drill_tick();
void keta_drill_box_edited(int box, const char* text);
void keta_drill_box_clicked(int box);
void keta_drill_save();
const char* keta_drill_snapshot();
void keta_set_local_time(int year, int month, int day, int hour, int minute, int second);
const char* keta_history_load(const std::uint8_t* bytes, std::size_t size, int commit);
void keta_history_commit();
const char* keta_history_rows(int from);
const char* keta_history_file();
double keta_out_size();
const char* keta_session_configure(int lineSeconds, int firstHalfLines, int secondHalfLines,
                                   int restMinutes, int mode, int showMarks, int showTimeLeft);
const char* keta_session_settings();
void keta_session_start(double nowMs, double secondsSinceMidnight);
double keta_session_tick(double nowMs);
void keta_session_box_edited(int box, const char* text, double nowMs);
void keta_session_end_rest(double nowMs);
void keta_session_stop(double nowMs);
const char* keta_session_snapshot();
const char* keta_session_result();
const char* keta_session_earlier();
const char* keta_history_csv();
const char* keta_log_load(const std::uint8_t* bytes, std::size_t size, int commit);
const char* keta_log_state();
const char* keta_log_file();
const char* keta_log_curve(double id, int step);
const char* keta_log_pairs(int mode);
}

namespace {

void Print(const char* what, const std::string& text) {
    std::printf("%s: %s\n", what, text.c_str());
}

void PrintBytes(const char* what, const char* data, std::size_t size) {
    std::printf("%s (%zu):", what, size);
    for (std::size_t i = 0; i < size; ++i)
        std::printf(" %02x", static_cast<unsigned char>(data[i]));
    std::printf("\n");
}

// Answers typed into the boxes: digits, full-width digits, signs, points, letters, long texts.
const std::vector<std::string> kTyped = {"0", "1",  "2",    "3",  "4",   "5",  "6",   "7",
                                         "8", "9",  "12",   "a",  "１",  "-3", "5.5", " 4",
                                         "",  "10", "９９", "+7", "1e0", "x9"};

// Rounds dealt from clock readings across a day, in both modes, every answer scored and the
// round closed and saved.
void Rounds() {
    const double readings[] = {0.0, 0.001, 1.5, 3599.999, 43200.25, 86399.999, 86400.5, 90000.125};
    int typed = 0;
    for (const double t : readings) {
        for (const char* mode : {"＋", "－"}) {
            keta_set_local_time(2026, 12, 8, 23, 59, 59);
            keta_drill_set_mode(mode);
            keta_drill_set_time_limit(10);
            keta_drill_set_auto_save(1);
            keta_drill_set_now(t);
            keta_drill_start();
            for (int tick = 1; tick <= 3; ++tick) {
                keta_drill_set_now(t + tick);
                keta_drill_tick();
            }
            Print("dealt", keta_drill_snapshot());
            // Two rows' worth of answers: the last box deals a new row.
            for (int k = 0; k < 20; ++k) {
                const int box = k % 14 + 1;
                keta_drill_box_edited(
                    box, kTyped[static_cast<std::size_t>(typed++) % kTyped.size()].c_str());
                if (k == 5) keta_drill_box_clicked(box);
                Print("typed", keta_drill_snapshot());
            }
            for (int s = 4; s <= 14; ++s) {
                keta_drill_set_now(t + s + 0.5);
                keta_drill_tick();
            }
            Print("closed", keta_drill_snapshot());
            keta_drill_save();  // saved already by the auto-save: a second save is a second line
        }
    }
    const char* file = keta_history_file();
    PrintBytes("history", file, static_cast<std::size_t>(keta_out_size()));
    Print("rows", keta_history_rows(0));
    const char* csv = keta_history_csv();
    PrintBytes("csv", csv, static_cast<std::size_t>(keta_out_size()));
}

// The answer log the rounds above were written to: every round's curve, stepping both ways,
// the pairs of both modes, and the log read back from its own bytes and from bytes that are
// no log. (The bytes themselves are not compared: the two builds link different SQLite
// versions, which may lay out the same rows differently.)
void Log() {
    Print("log", keta_log_state());
    Print("curve", keta_log_curve(0, 0));
    for (int id = 1; id <= 18; ++id) {
        Print("curve", keta_log_curve(id, 0));
        Print("next", keta_log_curve(id, 1));
        Print("previous", keta_log_curve(id, -1));
    }
    Print("pairs", keta_log_pairs(0));
    Print("pairs", keta_log_pairs(1));
    const char* file = keta_log_file();
    const std::string bytes(file, static_cast<std::size_t>(keta_out_size()));
    Print("again",
          keta_log_load(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0));
    const std::string garbage = "SQLite format 3" + std::string(200, '\x7f');
    Print("garbage",
          keta_log_load(reinterpret_cast<const std::uint8_t*>(garbage.data()), garbage.size(), 0));
    Print("log", keta_log_state());
}

// A history file with every kind of line the reader meets.
void Reading() {
    std::string bytes =
        "\"2026/12/03\",\"22:18:51\",111,103,8,\"92.8%\",\"1.72/"
        "\x95\x62\",\"60\x95\x62\",\"\x81\x7c\"\r\n"
        "\r\n   \t\r\n"
        "\"a\",\"b\",1,2,3,\"c\",\"d\",\"e\",\"f\"\n"
        "\"a\",\"b\",1.5,2.5,3,\"c\",\"d\",\"e\",\"f\"\r"
        "x,y,1,2,3,4,5,6,7\r\n"
        "x,y,99999,2,3,4,5,6,7\r\n"
        "\"a,b\",\"c\",1,2,3,4,5,6,7,8\r\n"
        "\"\xb1\xb2\",\" \x88\x9f \",+1,-2,3,4,5,6,7\r\n"
        "\"\x81\",b,1,2,3,4,5,6,7\r\n"
        "a,b,1,2,3,4,5,6,\x00\r\n"
        "\"open,b,1,2,3,4,5,6,7\r\n"
        "a,b,1,2,3,4,5,6,7";
    bytes.push_back('\0');
    bytes += std::string(5000, ',') + "\r\n" + std::string(3000, '9') + "\r\n";
    Print("report",
          keta_history_load(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 1));
    Print("rows", keta_history_rows(0));
    const char* file = keta_history_file();
    PrintBytes("file", file, static_cast<std::size_t>(keta_out_size()));
}

// The figures' patterns over a grid of ratios, halves and their neighbours included.
void Figures() {
    std::string percent;
    std::string perSecond;
    for (int d = 0; d <= 400; ++d) {
        for (int n = 0; n <= d; n += (d > 120 ? 7 : 1)) {
            percent += keta::FormatPercent(keta::SafeRatio(n, d)) + ' ';
            perSecond += keta::FormatPerSecond(keta::SafeRatio(n, d)) + ' ';
        }
    }
    Print("percent", percent);
    Print("perSecond", perSecond);
    std::string read;
    for (const char* text : {"12", " 3.5", "-0", "1e309", "１２．５", "+.5", "abc", "7x", "\t\n8"})
        read += keta::FormatFixed(keta::ReadNumber(text), 3) + ' ';
    Print("read", read);
}

// Practice sessions on a fake clock: settings in and out of range, answers typed across line
// boundaries, the rest ended early or waited out, a stop part-way; every change and the result.
void Sessions() {
    struct Event {
        enum Kind { Tick, Type, EndRest, Stop } kind;
        double ms;
        int box = 0;
    };
    struct Case {
        std::array<int, 7> settings;  // line s, first, second, rest min, mode, marks, time left
        double startMs, wall;
        std::vector<Event> events;
    };
    std::vector<Event> twoHalves;
    for (int k = 0; k < 18; ++k) twoHalves.push_back({Event::Type, 500.0 + 400 * k, k % 14 + 1});
    for (const double ms : {9999.0, 10000.0, 10001.0, 10999.0, 11000.0, 12000.0, 12001.0})
        twoHalves.push_back({Event::Tick, ms});
    for (int k = 0; k < 5; ++k) twoHalves.push_back({Event::Type, 12500.0 + 700 * k, k + 1});
    twoHalves.push_back({Event::Type, 22000.5, 6});  // typed after the end, before the tick
    twoHalves.push_back({Event::Tick, 22001.0});

    const std::vector<Event> stopped = {
        {Event::Type, 100, 1},   {Event::Type, 200, 2},   {Event::Tick, 10000},
        {Event::Type, 10001, 3}, {Event::Type, 19999, 1}, {Event::Type, 20000, 2},
        {Event::Tick, 20500},    {Event::Tick, 21000},    {Event::EndRest, 30000},
        {Event::Tick, 31000},    {Event::Tick, 32000},    {Event::Type, 32100, 1},
        {Event::Stop, 33000},    {Event::Tick, 99999},
    };
    const std::vector<Event> clockBack = {
        {Event::Type, 5000, 1},   {Event::Tick, 4000},
        {Event::Type, -1e300, 2}, {Event::Tick, std::numeric_limits<double>::quiet_NaN()},
        {Event::Tick, 1e300},
    };
    const Case cases[] = {
        {{10, 1, 1, 0, 0, 1, 1}, 1000.0, 43200.25, twoHalves},
        {{10, 2, 1, 1, 2, 0, 0}, 0.0, 86399.5, stopped},
        {{5, 0, 31, 11, 7, 2, 1}, 250.0, 0.0, clockBack},  // every setting out of range
        {{121, 31, -1, -1, -1, 1, 0}, 0.0, 3600.0, {{Event::Stop, 10}}},
    };
    // The first case again last: a second session in its format, compared with the first.
    for (const Case& c : {cases[0], cases[1], cases[2], cases[3], cases[0]}) {
        const auto& v = c.settings;
        Print("configured", keta_session_configure(v[0], v[1], v[2], v[3], v[4], v[5], v[6]));
        keta_session_start(c.startMs, c.wall);
        Print("started", keta_session_snapshot());
        double seen = -1;
        int typed = 0;
        for (const Event& e : c.events) {
            const double at = c.startMs + e.ms;
            switch (e.kind) {
                case Event::Tick:
                    break;
                case Event::Type:
                    keta_session_box_edited(
                        e.box,
                        kTyped[static_cast<std::size_t>(5 * typed++ + 3) % kTyped.size()].c_str(),
                        at);
                    break;
                case Event::EndRest:
                    keta_session_end_rest(at);
                    break;
                case Event::Stop:
                    keta_session_stop(at);
                    break;
            }
            const double changes = keta_session_tick(at);
            if (changes != seen) Print("session", keta_session_snapshot());
            seen = changes;
        }
        Print("result", keta_session_result());
        Print("earlier", keta_session_earlier());
    }
    Print("settings", keta_session_settings());
}

}  // namespace

int main() {
    Print("new log", keta_log_load(nullptr, 0, 1));
    Rounds();
    Log();
    Reading();
    Figures();
    Sessions();
    return 0;
}
