// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up benchmark of the real program under Xvfb + trayer: the time from
// starting the process to its main window being mapped on the screen, to the
// window's first paint (after which the history opens, on a thread of its own,
// once something needs it: here the 200 targets), and the resident memory once it
// is idle. Three cases side by side, each run N
// times: a folder without a log or history (both are created), one with a log
// (appended) and the empty history earlier runs left, and the same with a year
// of history in ZIRKO.DB (made by the benchmarks' one generator, ending now: the
// automatic monitoring every 2 s, retention stepped as it went).
//
// Two reference windows run beside them: four tabs and a label, and a bare one.
//
//   zirko_app_bench [--runs N] [--zirko PATH] [--history-days DAYS] [--keep DIR]
//                   [--idle-ms MS] [--references-only yes] [--before PATH]
//
// --keep DIR keeps the cases' folders in DIR, and a year of history made there
// before serves the next run (writing one takes minutes). --idle-ms: how long
// after the first paint the resident memory is read (1500). --references-only:
// "existing log" and the references alone. --before: another build of zirko
// run beside, as "existing log" in a folder of its own.

#include "THistoryGenerator.h"
#include "THistoryStore.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

pid_t Spawn(const std::vector<std::string>& Arguments, const std::vector<std::string>& ExtraEnv,
            const posix_spawn_file_actions_t* Actions = nullptr) {
    std::vector<char*> argv;
    for (const std::string& a : Arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        envStrings.emplace_back(*e);
    }
    envStrings.insert(envStrings.end(), ExtraEnv.begin(), ExtraEnv.end());
    std::vector<char*> envp;
    for (std::string& e : envStrings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], Actions, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    return pid;
}

// Waits for a child; -1 when it does not end within the limit.
int WaitExit(pid_t Pid, std::chrono::milliseconds Limit) {
    const auto deadline = TClock::now() + Limit;
    while (TClock::now() < deadline) {
        int status = 0;
        if (waitpid(Pid, &status, WNOHANG) == Pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

void Stop(pid_t Pid) {
    if (Pid > 0) {
        kill(Pid, SIGTERM);
        if (WaitExit(Pid, std::chrono::seconds(5)) < 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
    }
}

// Xvfb chooses a free display and writes its number once it takes connections.
std::optional<int> StartXvfb(pid_t& Pid) {
    int fds[2];
    if (pipe(fds) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    Pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp", "-noreset"},
                {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&p, 1, 30000) > 0) {
        char chunk[16];
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        number.append(chunk, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.empty() || Pid < 0) {
        return std::nullopt;
    }
    return std::stoi(number);
}

std::string WindowName(Display* X, Window W) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(X, W, &name) != 0 && name != nullptr) {
        result = name;
        XFree(name);
    }
    return result;
}

// The first event that Wanted accepts, or false when none came within the limit.
template <typename TWanted>
bool WaitForEvent(Display* X, std::chrono::milliseconds Limit, TWanted Wanted) {
    const auto deadline = TClock::now() + Limit;
    while (TClock::now() < deadline) {
        while (XPending(X) > 0) {
            XEvent event;
            XNextEvent(X, &event);
            if (Wanted(event)) {
                return true;
            }
        }
        pollfd p{ConnectionNumber(X), POLLIN, 0};
        poll(&p, 1, 5);
    }
    return false;
}

// Every window made on the screen gets a damage record before it is mapped,
// so the first drawing into the main window is seen however soon it comes.
// Qt's windows have no background of the server's, so that first damage is the
// program's own first paint, which waits for its event loop.
class TPaintWatch {
public:
    explicit TPaintWatch(Display* X) : FX(X) {
        int error = 0;
        FAvailable = XDamageQueryExtension(X, &FEvent, &error) != 0;
    }
    ~TPaintWatch() { Forget(); }
    TPaintWatch(const TPaintWatch&) = delete;
    TPaintWatch& operator=(const TPaintWatch&) = delete;
    bool Available() const { return FAvailable; }

    // Handles the events it cares for; true at the first paint of Painted.
    bool Handle(const XEvent& Event, Window Painted) {
        if (Event.type == CreateNotify && Event.xcreatewindow.parent == DefaultRootWindow(FX)) {
            FDamages.push_back(
                XDamageCreate(FX, Event.xcreatewindow.window, XDamageReportNonEmpty));
            XFlush(FX);
        }
        if (Event.type != FEvent + XDamageNotify) {
            return false;
        }
        const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(Event);
        return Painted != 0 && damage.drawable == Painted;
    }
    // The records die with their windows; the rest go here.
    void Forget() {
        for (const Damage d : FDamages) {
            XDamageDestroy(FX, d);
        }
        FDamages.clear();
        XSync(FX, False);
    }

private:
    Display* FX;
    bool FAvailable = false;
    int FEvent = 0;
    std::vector<Damage> FDamages;
};

// A window gone before its damage record was made, or a record of a window
// already gone, is no fault of the run.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

// The main window once it is mapped, or 0 when none came within the limit.
Window WaitForMainWindow(Display* X, TPaintWatch& Paints, std::chrono::milliseconds Limit) {
    Window found = 0;
    WaitForEvent(X, Limit, [&](const XEvent& event) {
        Paints.Handle(event, 0);
        if (event.type == MapNotify && WindowName(X, event.xmap.window) == "Zirko") {
            found = event.xmap.window;
        }
        return found != 0;
    });
    return found;
}

long ResidentKiB(pid_t Pid) {
    std::ifstream status("/proc/" + std::to_string(Pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

void CloseWindow(Display* X, Window W) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = W;
    message.xclient.message_type = XInternAtom(X, "WM_PROTOCOLS", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(XInternAtom(X, "WM_DELETE_WINDOW", False));
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(X, W, False, NoEventMask, &message);
    XFlush(X);
}

// Whether the process has its history open: a store that is not available
// has closed its file, and the targets' case without it would measure no history.
bool HoldsHistory(pid_t Pid) {
    std::error_code Error;
    for (const auto& Fd : fs::directory_iterator("/proc/" + std::to_string(Pid) + "/fd", Error)) {
        if (fs::read_symlink(Fd.path(), Error).filename() == THistoryStore::FileName) {
            return true;
        }
    }
    return false;
}

// A year (or Days) of history in Folder, ending now.
bool MakeHistory(const fs::path& Folder, int Days) {
    const auto Started = TClock::now();
    const int64_t NowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    THistoryShape Shape;
    const int64_t StartMs = NowMs - Days * THistoryStore::MsPerDay;
    Shape.StartMs = StartMs - StartMs % THistoryShape::MinuteMs;
    THistoryStore Store;
    THistoryGenerator Generator(Store, Shape);
    if (!Store.Open(Folder.string()) || !Generator.Run(NowMs, {.Prune = true}) ||
        !Generator.Finish()) {
        return false;
    }
    Store.Close();
    std::printf("history of %d days: %lld pings written in %.0f s, %s %.1f MiB\n", Days,
                static_cast<long long>(Generator.Written()),
                std::chrono::duration<double>(TClock::now() - Started).count(),
                THistoryStore::FileName,
                static_cast<double>(fs::file_size(Folder / THistoryStore::FileName)) / (1 << 20));
    return true;
}

// Count loopback targets at 1 s in two groups: each answers, none leaves the machine.
void WriteTargets(const fs::path& File, int Count) {
    std::FILE* Out = std::fopen(File.c_str(), "w");
    if (Out == nullptr) {
        return;
    }
    std::fprintf(Out, "targets:\n");
    for (int g = 0; g < 2; ++g) {
        std::fprintf(Out, "- labels: {group: g%d}\n  hosts:\n", g);
        for (int i = g; i < Count; i += 2) {
            std::fprintf(Out, "  - 127.0.%d.%d\n", 1 + i / 250, 1 + i % 250);
        }
    }
    std::fclose(Out);
}

// The program, and the chart module beside it where the build made one.
void CopyProgram(const fs::path& Program, const fs::path& Folder) {
    fs::copy_file(Program, Folder / "zirko", fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(Program.parent_path())) {
        if (entry.path().filename().string().rfind("libzirko_", 0) == 0 &&
            entry.path().extension() == ".so") {
            fs::copy_file(entry.path(), Folder / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
    }
}

struct TRun {
    double StartMs;
    double ResidentMiB;
    double PaintMs; // start to the window's first paint
};

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    const size_t n = Values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2.0;
}

// What a case starts: zirko, or one of the reference windows, which keep no history.
enum class TProgram { Zirko, Minimal, Bare };

std::optional<TRun> RunOnce(Display* X, TPaintWatch& Paints, const std::string& Display,
                            const fs::path& Folder, TProgram Program,
                            std::chrono::milliseconds Idle) {
    std::vector<std::string> command = {(Folder / "zirko").string()};
    if (Program == TProgram::Bare) {
        command.emplace_back("--bare");
    }
    const auto started = TClock::now();
    // Each case's own targets file (none but in the targets' case), never the user's.
    const pid_t pid = Spawn(command,
                            {"DISPLAY=" + Display, "QT_QPA_PLATFORM=xcb",
                             "XDG_CONFIG_HOME=" + (Folder / "config").string()});
    if (pid < 0) {
        return std::nullopt;
    }
    const Window window = WaitForMainWindow(X, Paints, std::chrono::seconds(20));
    const auto shown = TClock::now();
    if (window == 0 || !WaitForEvent(X, std::chrono::seconds(20), [&](const XEvent& event) {
            return Paints.Handle(event, window);
        })) {
        Stop(pid);
        return std::nullopt;
    }
    const auto painted = TClock::now();
    // Idle: the start-up work is over and the event loop waits.
    std::this_thread::sleep_for(Idle);
    const long resident = ResidentKiB(pid);
    const bool history = HoldsHistory(pid);
    CloseWindow(X, window);
    const int code = WaitExit(pid, std::chrono::seconds(10));
    if (code != 0) {
        std::fprintf(stderr, "zirko ended with %d\n", code);
        Stop(pid);
        return std::nullopt;
    }
    if (!history && Folder.filename() == "targets") {
        std::fprintf(stderr, "zirko in %s had no history open\n", Folder.c_str());
        return std::nullopt;
    }
    const auto ms = [&](TClock::time_point At) {
        return std::chrono::duration<double, std::milli>(At - started).count();
    };
    Paints.Forget();
    return TRun{ms(shown), static_cast<double>(resident) / 1024.0, ms(painted)};
}

// One case: its folder, and what each run measured there.
struct TCase {
    const char* Name;
    fs::path Folder;
    std::vector<double> Ms;
    std::vector<double> MiB;
    std::vector<double> PaintMs;
    TProgram Program = TProgram::Zirko;
};

// Alternating the cases spreads any drift of the machine over all of them. A
// first round, not counted, leaves a log (and a history) for the later cases.
bool RunCases(Display* X, TPaintWatch& Paints, const std::string& Display,
              std::vector<TCase>& Cases, int Runs, std::chrono::milliseconds Idle) {
    for (int run = -1; run < Runs; ++run) {
        // "new log" is a first start: no log and no history yet.
        for (const char* name : {"ZIRKO.LOG", "ZIRKO.DB", "ZIRKO.DB-wal", "ZIRKO.DB-shm"}) {
            if (Cases.front().Folder.filename() == "new-log") {
                fs::remove(Cases.front().Folder / name);
            }
        }
        if (run < 0) {
            std::printf("warm-up:");
        } else {
            std::printf("run %2d:", run + 1);
        }
        for (TCase& c : Cases) {
            const std::optional<TRun> r = RunOnce(X, Paints, Display, c.Folder, c.Program, Idle);
            if (!r) {
                return false;
            }
            if (run >= 0) {
                c.Ms.push_back(r->StartMs);
                c.MiB.push_back(r->ResidentMiB);
                c.PaintMs.push_back(r->PaintMs);
            }
            std::printf(" | %s %5.1f ms %4.1f MiB painted %5.1f ms", c.Name, r->StartMs,
                        r->ResidentMiB, r->PaintMs);
        }
        std::printf("\n");
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 10;
    int historyDays = 366;
    std::string zirko = ZIRKO_BINARY;
    std::string keep;
    std::chrono::milliseconds idle(1500);
    bool referencesOnly = false;
    std::string before;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--zirko") == 0) {
            zirko = argv[i + 1];
        } else if (std::strcmp(argv[i], "--history-days") == 0) {
            historyDays = std::clamp(std::atoi(argv[i + 1]), 1, 400);
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = argv[i + 1];
        } else if (std::strcmp(argv[i], "--idle-ms") == 0) {
            idle = std::chrono::milliseconds(std::clamp(std::atoi(argv[i + 1]), 100, 60000));
        } else if (std::strcmp(argv[i], "--before") == 0) {
            before = argv[i + 1]; // another build of zirko, run as "existing log" too
        } else if (std::strcmp(argv[i], "--references-only") == 0) {
            // Only "existing log" and the reference windows: no year to write.
            referencesOnly = std::strcmp(argv[i + 1], "yes") == 0;
        }
    }

    const fs::path base =
        !keep.empty() ? fs::path(keep)
                      : fs::temp_directory_path() / ("zirko-app-bench-" + std::to_string(getpid()));
    const auto removeBase = [&] {
        if (keep.empty()) {
            fs::remove_all(base);
        }
    };
    std::vector<TCase> cases = {{"new log", base / "new-log", {}, {}, {}},
                                {"existing log", base / "existing-log", {}, {}, {}},
                                {"existing log, a year of history", base / "year", {}, {}, {}},
                                {"existing log, 200 targets", base / "targets", {}, {}, {}},
                                {"a minimal Qt window (four tabs, a label)", base / "minimal", {}, {}, {},
                                 TProgram::Minimal},
                                {"a bare Qt window (no text)", base / "bare", {}, {}, {},
                                 TProgram::Bare}};
    if (!before.empty()) {
        cases.insert(cases.begin() + 2, {"existing log, the --before build", base / "before", {}, {}, {}});
    }
    for (const TCase& c : cases) {
        fs::create_directories(c.Folder / "config" / "zirko");
        const bool old = c.Folder == base / "before";
        CopyProgram(c.Program != TProgram::Zirko ? fs::path(MINIMAL_WINDOW)
                    : old                        ? fs::path(before)
                                                 : fs::path(zirko),
                    c.Folder);
    }
    const auto year = std::find_if(cases.begin(), cases.end(),
                                   [&](const TCase& c) { return c.Folder == base / "year"; });
    WriteTargets(base / "targets" / "config" / "zirko" / "targets.yml", 200);
    if (referencesOnly) {
        cases.erase(year, year + 2); // the year and the targets
        cases.erase(cases.begin());
    } else if (!(fs::exists(year->Folder / THistoryStore::FileName) && !keep.empty()) &&
               !MakeHistory(year->Folder, historyDays)) {
        std::fprintf(stderr, "the year of history could not be written\n");
        removeBase();
        return 1;
    }

    pid_t xvfb = -1;
    const std::optional<int> number = StartXvfb(xvfb);
    if (!number) {
        std::fprintf(stderr, "Xvfb did not start\n");
        Stop(xvfb);
        removeBase();
        return 1;
    }
    const std::string display = ":" + std::to_string(*number);
    Display* x = XOpenDisplay(display.c_str());
    const pid_t trayer = Spawn({"trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                                "pixel", "--width", "120", "--height", "24"},
                               {"DISPLAY=" + display});
    const Atom traySelection = XInternAtom(x, "_NET_SYSTEM_TRAY_S0", False);
    for (int i = 0; i < 300 && XGetSelectionOwner(x, traySelection) == None; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
    XSetErrorHandler(IgnoreXError);
    bool done = false;
    {
        TPaintWatch paints(x);
        done = paints.Available() && RunCases(x, paints, display, cases, runs, idle);
    }
    XCloseDisplay(x);
    Stop(trayer);
    Stop(xvfb);
    removeBase();
    if (!done) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    std::printf("\n| case | start to window shown, median (ms) | resident memory idle, median "
                "(MiB) | start to window painted, median (ms) |\n|---|---|---|---|\n");
    for (const TCase& c : cases) {
        std::printf("| %s | %.1f | %.1f | %.1f |\n", c.Name, Median(c.Ms), Median(c.MiB),
                    Median(c.PaintMs));
    }
    for (const TCase& reference : cases) {
        if (reference.Program == TProgram::Zirko) {
            continue;
        }
        for (const TCase& c : cases) {
            std::printf("%s against %s: shown %.2f x, resident %.2f x, painted %.2f x\n", c.Name,
                        reference.Name, Median(c.Ms) / Median(reference.Ms),
                        Median(c.MiB) / Median(reference.MiB),
                        Median(c.PaintMs) / Median(reference.PaintMs));
        }
    }
    std::printf("\n%d runs each; resident memory %lld ms after the first paint; the year's "
                "history: %d days\n",
                runs, static_cast<long long>(idle.count()), referencesOnly ? 0 : historyDays);
    return 0;
}
