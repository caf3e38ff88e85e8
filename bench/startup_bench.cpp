// The program's start against the floor its toolkit sets. Each round starts, in fresh
// processes and in turns so that all meet the same machine: a bare Qt window, a bare Qt window
// with a Japanese label, the program in an empty data folder and the program with the longest
// history. Then the first analysis window, the session window and the help, each opened once in
// a fresh program. Runs on the platform the person uses: the display that is set, else xcb on an
// Xvfb of its own, else (no Xvfb) offscreen; it says which.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "history_lines.h"

extern char** environ;

namespace {

constexpr int kRounds = 21;
constexpr int kOpenings = 7;

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    double peakMiB = 0;
    std::string out;  // what the child printed
};

std::string Sibling(const char* name) {
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + name;
}

// Where the children show their windows.
struct Display {
    std::vector<std::string> env;  // the children's environment
    std::string said;
    pid_t xvfb = 0;
};

Display ChooseDisplay() {
    Display d;
    std::string platform;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    if (wayland != nullptr && *wayland != '\0') {
        platform = "wayland";
        d.said = std::string("wayland on ") + wayland;
    } else if (x11 != nullptr && *x11 != '\0') {
        platform = "xcb";
        d.said = std::string("xcb on the display ") + x11;
    } else {
        // Xvfb tells the display it took once it accepts connections.
        int ready[2];
        if (::pipe(ready) == 0) {
            const std::string fd = std::to_string(ready[1]);
            const char* argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen", "0",
                                  "1366x768x24", "-nolisten",  "tcp",      nullptr};
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            if (posix_spawnp(&d.xvfb, "Xvfb", &actions, nullptr, const_cast<char**>(argv),
                             environ) != 0) {
                d.xvfb = 0;
            }
            posix_spawn_file_actions_destroy(&actions);
            ::close(ready[1]);
            char number[32] = {};
            const ssize_t got = d.xvfb != 0 ? ::read(ready[0], number, sizeof number - 1) : 0;
            ::close(ready[0]);
            if (got > 0) {
                const std::string display = ":" + std::to_string(std::atoi(number));
                platform = "xcb";
                d.said = "xcb on Xvfb " + display + " (no display was set)";
                d.env.push_back("DISPLAY=" + display);
            }
        }
        if (platform.empty()) {
            platform = "offscreen";
            d.said = "offscreen (no display was set and Xvfb could not start)";
        }
    }
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 &&
            (d.xvfb == 0 || std::strncmp(*e, "DISPLAY=", 8) != 0)) {
            d.env.emplace_back(*e);
        }
    }
    d.env.push_back("QT_QPA_PLATFORM=" + platform);
    // The probe lies elsewhere than the program: it is told where the windows' module is.
    d.env.push_back("KETATOBI_WINDOWS_MODULE=" KETATOBI_WINDOWS_MODULE);
    return d;
}

// Runs `argv` in `folder` to its end: wall time, the CPU time of all its threads, its peak.
bool Start(const Display& display, const std::vector<std::string>& argv, const QString& folder,
           Run& run) {
    std::vector<char*> args, env;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : display.env) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return false;
    const QByteArray cwd = QFile::encodeName(folder);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.constData());
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    run.out.clear();
    char buffer[256];
    for (ssize_t n; spawned == 0 && (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        run.out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return false;
    run.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Series {
    const char* name;
    std::vector<std::string> argv;
    const QTemporaryDir* folder;
    std::vector<Run> runs;

    std::vector<double> Of(double Run::*figure) const {
        std::vector<double> v;
        for (const Run& r : runs) v.push_back(r.*figure);
        return v;
    }
};

// The median over the rounds of a's figure over b's in the same round.
double PairedRatio(const Series& a, const Series& b, double Run::*figure) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.runs.size() && i < b.runs.size(); ++i) {
        if (b.runs[i].*figure > 0) ratios.push_back(a.runs[i].*figure / (b.runs[i].*figure));
    }
    return Median(ratios);
}

double PairedDifference(const Series& a, const Series& b, double Run::*figure) {
    std::vector<double> differences;
    for (std::size_t i = 0; i < a.runs.size() && i < b.runs.size(); ++i) {
        differences.push_back(a.runs[i].*figure - b.runs[i].*figure);
    }
    return Median(differences);
}

void WriteSettings(const QTemporaryDir& dir) {
    QFile settings(dir.filePath(QStringLiteral("設定.txt")));
    (void)settings.open(QIODevice::WriteOnly);
    settings.write("60,1\r\n");
}

}  // namespace

int main() {
    Display display = ChooseDisplay();
    QTemporaryDir empty, full;
    WriteSettings(empty);
    WriteSettings(full);
    keta::WriteHistory(full, keta::kLongestHistory);
    // The help the program shows, found in the data folder as the program looks for it first.
    QFile::copy(QStringLiteral(KETATOBI_HELP_FILE), empty.filePath(QStringLiteral("VexoHelp.chm")));

    const std::string bare = Sibling("bare_window"), probe = Sibling("startup_probe");
    std::vector<Series> series = {
        {"bare window", {bare}, &empty, {}},
        {"bare window with a Japanese label", {bare, "label"}, &empty, {}},
        {"program, empty data folder", {probe}, &empty, {}},
        {"program, 32766 records", {probe}, &full, {}}};
    Run run;
    for (int round = 0; round < kRounds; ++round) {
        // Each takes every place in the order in turn.
        for (std::size_t k = 0; k < series.size(); ++k) {
            Series& s = series[(k + static_cast<std::size_t>(round)) % series.size()];
            if (!Start(display, s.argv, s.folder->path(), run)) {
                std::printf("%s failed to start\n", s.name);
                return 1;
            }
            s.runs.push_back(run);
        }
    }
    std::printf("start-up platform: %s\n", display.said.c_str());
    std::printf("start-up, fresh process, median of %d (wall / CPU of all threads / peak):\n",
                kRounds);
    for (const Series& s : series) {
        std::printf("  %s: %.1f ms / %.1f ms / %.1f MiB\n", s.name, Median(s.Of(&Run::wallMs)),
                    Median(s.Of(&Run::cpuMs)), Median(s.Of(&Run::peakMiB)));
    }
    const Series &bareWindow = series[0], &label = series[1], &program = series[2],
                 &history = series[3];
    std::printf("empty start / bare window, wall: %.2f (<= 1.3)\n",
                PairedRatio(program, bareWindow, &Run::wallMs));
    std::printf("empty start / bare window, CPU: %.2f (<= 1.3)\n",
                PairedRatio(program, bareWindow, &Run::cpuMs));
    std::printf("empty start / Japanese-label window, wall: %.2f, CPU: %.2f\n",
                PairedRatio(program, label, &Run::wallMs),
                PairedRatio(program, label, &Run::cpuMs));
    std::printf("peak memory, empty start - bare window: %.1f MiB (<= 8 MiB)\n",
                PairedDifference(program, bareWindow, &Run::peakMiB));
    std::printf("start-up with %d records / empty start, wall: %.3f (<= 1.05)\n",
                keta::kLongestHistory, PairedRatio(history, program, &Run::wallMs));
    std::printf("peak memory with %d records - empty start: %.2f MiB (<= 3 MiB)\n",
                keta::kLongestHistory, PairedDifference(history, program, &Run::peakMiB));

    const struct {
        const char* what;
        const char* name;
    } windows[] = {{"progress", "上達の記録"}, {"session", "本番形式で練習"}, {"help", "ヘルプ"}};
    for (const auto& window : windows) {
        std::vector<double> ms;
        for (int i = 0; i < kOpenings; ++i) {
            if (!Start(display, {probe, "open", window.what}, empty.path(), run)) {
                std::printf("%s: the window did not open\n", window.name);
                return 1;
            }
            ms.push_back(std::atof(run.out.c_str()));
        }
        std::printf(
            "first %s window in a fresh program, request to painted, median of %d: "
            "%.1f ms (<= 200 ms)\n",
            window.name, kOpenings, Median(ms));
    }
    if (display.xvfb != 0) {
        ::kill(display.xvfb, SIGTERM);
        ::waitpid(display.xvfb, nullptr, 0);
    }
    return 0;
}
