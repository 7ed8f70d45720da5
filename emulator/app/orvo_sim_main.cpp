// orvo-sim: runs a virtual simulator until interrupted.
//   orvo-sim --dir D --port N [--fast] [--record FILE]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orvo_sim.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s --dir DIR --port N [--fast] [--record FILE]\n", program);
    return 2;
}

bool parsePort(const char* text, int& port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 127) return false;
    port = int(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    orvo::sim::SimulatorConfig config;
    bool havePort = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(arg, "--dir") && hasValue) {
            config.dir = argv[++i];
        } else if (!std::strcmp(arg, "--port") && hasValue) {
            if (!parsePort(argv[++i], config.port)) return usage(argv[0]);
            havePort = true;
        } else if (!std::strcmp(arg, "--record") && hasValue) {
            config.recordPath = argv[++i];
        } else if (!std::strcmp(arg, "--fast")) {
            config.fast = true;
        } else {
            return usage(argv[0]);
        }
    }
    if (config.dir.empty() || !havePort) return usage(argv[0]);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Blocked here (and so in the device thread), taken only in sigsuspend.
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);

    orvo::sim::Simulator simulator(config);
    if (!simulator.start()) {
        std::fprintf(stderr, "orvo-sim: cannot publish %s/ttyACM%d\n", config.dir.c_str(), config.port);
        return 1;
    }
    std::printf("%s\n", simulator.path().c_str());
    std::fflush(stdout);
    while (!g_stop) sigsuspend(&waiting);
    simulator.stop();
    return 0;
}
