// Measures how long a program takes from launch until its first window is
// mapped on the X server, and how much memory it holds at that moment.
//
//   startup_probe RUNS PROGRAM [ARGS...] [-- PROGRAM [ARGS...]]...
// prints, for each program, the median time and resident size.
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One launch: milliseconds until the first window is mapped, and the
// resident size then.
struct Launch {
    double milliseconds;
    long kib;
};

Launch launch(Display* display, char** argv) {
    XSync(display, True);  // forget the previous launch's events
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    XEvent event;
    do XNextEvent(display, &event);
    while (event.type != MapNotify);
    const auto mapped = std::chrono::steady_clock::now();
    const Launch result{std::chrono::duration<double, std::milli>(mapped - start).count(), resident_kib(child)};
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    // The programs take turns, launch by launch, so that whatever else the
    // machine does weighs on each of them alike.
    std::vector<std::vector<char*>> programs;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--" || programs.empty()) programs.emplace_back();
        if (std::string(argv[i]) != "--") programs.back().push_back(argv[i]);
    }
    const int runs = argc > 1 ? std::atoi(argv[1]) : 0;
    if (runs <= 0 || programs.empty() || programs.front().empty()) {
        std::fputs("usage: startup_probe RUNS PROGRAM [ARGS...] [-- PROGRAM [ARGS...]]...\n", stderr);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("startup_probe: cannot open the X display\n", stderr);
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    for (auto& program : programs) program.push_back(nullptr);

    std::vector<std::vector<double>> milliseconds(programs.size());
    std::vector<std::vector<long>> kib(programs.size());
    for (int run = 0; run < runs; ++run)
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const Launch result = launch(display, programs[p].data());
            milliseconds[p].push_back(result.milliseconds);
            kib[p].push_back(result.kib);
        }
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::string command = programs[p][0];
        for (std::size_t i = 1; programs[p][i]; ++i) command.append(" ").append(programs[p][i]);
        std::printf("%-56s median %7.1f ms   %7.1f MB resident (%d runs)\n", command.c_str(), median(milliseconds[p]),
                    static_cast<double>(median(kib[p])) / 1024.0, runs);
    }
    XCloseDisplay(display);
    return 0;
}
