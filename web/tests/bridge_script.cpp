// Runs a fixed set of inputs through the bridge's C entry points and the shared rules and prints
// every output. Built natively and as WebAssembly (for Node.js); the two printouts must be the
// same byte for byte, which shows that the browser computes what the desktop computes.

#include <cstdint>
#include <cstdio>
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

}  // namespace

int main() {
    Rounds();
    Reading();
    Figures();
    return 0;
}
