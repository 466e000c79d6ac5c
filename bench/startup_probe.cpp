// Measures how long a program takes from launch until its first window is
// mapped on the X server, and how much memory it holds at that moment.
//
//   startup_probe RUNS PROGRAM...   prints the median time and resident size
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: startup_probe RUNS PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("startup_probe: cannot open the X display\n", stderr);
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    std::vector<double> milliseconds;
    std::vector<long> kib;
    for (int run = 0; run < runs; ++run) {
        XSync(display, True);  // forget the previous run's events
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            execv(argv[2], argv + 2);
            _exit(127);
        }
        XEvent event;
        do XNextEvent(display, &event);
        while (event.type != MapNotify);
        const auto mapped = std::chrono::steady_clock::now();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(mapped - start).count());
        kib.push_back(resident_kib(child));
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    std::string command = argv[2];
    for (int i = 3; i < argc; ++i) command.append(" ").append(argv[i]);
    std::printf("%-56s median %7.1f ms   %7.1f MB resident (%d runs)\n", command.c_str(), median(milliseconds),
                static_cast<double>(median(kib)) / 1024.0, runs);
    XCloseDisplay(display);
    return 0;
}
