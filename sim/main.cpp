// vireo-sim: a simulated radio module on a pseudo-terminal, registered as a COM port.
//
// Prints the slave device path as the first line of standard output, then runs until
// SIGINT or SIGTERM, and removes its port entry on the way out.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/Simulator.h"

namespace {

void Usage(std::FILE* out) {
    std::fputs(
        "usage: vireo-sim [options]\n"
        "A simulated radio module (and its radio network) on a pseudo-terminal.\n"
        "Prints the slave device path on the first line, then runs until interrupted.\n"
        "\n"
        "  --com N            register as COM<N> in the port directory (default 1; the next\n"
        "                     free number is taken when COM<N> belongs to another device)\n"
        "  --port-dir DIR     port directory (default $VIREO_PORT_DIR or\n"
        "                     ~/.config/vireo-manager/ports)\n"
        "  --no-register      do not register a COM port\n"
        "  --baud N           application baud rate (default 9600; the bootloader uses 115200)\n"
        "  --product NAME     product name (default KA40)\n"
        "  --version VER      firmware version, \"v\" digits and dots (default v1.1.0)\n"
        "  --eui HEX16        EUI address, 16 hex digits (default 000D6F0000A1B2C3)\n"
        "  --node-name TEXT   node name (default \"Bench unit\")\n"
        "  --node-type N      node type; 4 is a sleepy end device (default 1)\n"
        "  --sleepy           same as --node-type 4\n"
        "  --uf N             flow control setting reported by AT+UF: 0, 1 or 2 (default 0)\n"
        "  --data-mode        start in data mode (\"+++\" escapes to command mode)\n"
        "  --damaged          firmware damaged: the module stays in its bootloader\n"
        "  --remotes N        number of remote modules in the network (default 5, up to 300)\n"
        "  --pacing           send and consume bytes no faster than the line rate\n"
        "  --byte-gap MS      send every byte on its own, MS milliseconds after the previous\n"
        "                     one (on top of pacing; default 0: no gap)\n"
        "  --data-dir DIR     directory with the construct files (default: program directory)\n"
        "  --log FILE         record every byte in both directions with time stamps\n"
        "  --sleep-after MS   quiet time before a sleepy end device falls asleep (default 5000)\n"
        "  --radio-delay MS   one-way radio delay (default 40)\n"
        "  --scan-delay MS    time an \"at+ds\" scan takes (default 1000)\n"
        "  --guard-time MS    silence around \"+++\" (default 500)\n"
        "  --help             show this text\n",
        out);
}

bool Number(const char* text, int* out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 100000000)
        return false;
    *out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    vireo::sim::SimConfig cfg;
    cfg.recordLimit = 1u << 20; // nobody inspects the records here: keep memory small
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vireo-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto number = [&]() {
            const char* v = value();
            int n = 0;
            if (!Number(v, &n)) {
                std::fprintf(stderr, "vireo-sim: %s needs a number, not \"%s\"\n", a.c_str(), v);
                std::exit(2);
            }
            return n;
        };
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        } else if (a == "--com")
            cfg.comNumber = number();
        else if (a == "--port-dir")
            cfg.portDir = value();
        else if (a == "--no-register")
            cfg.registerPort = false;
        else if (a == "--baud")
            cfg.baudRate = number();
        else if (a == "--product")
            cfg.product = value();
        else if (a == "--version")
            cfg.version = value();
        else if (a == "--eui")
            cfg.eui = value();
        else if (a == "--node-name")
            cfg.nodeName = value();
        else if (a == "--node-type")
            cfg.nodeType = value();
        else if (a == "--sleepy")
            cfg.nodeType = "4";
        else if (a == "--uf")
            cfg.flowControl = number();
        else if (a == "--data-mode")
            cfg.startInDataMode = true;
        else if (a == "--damaged")
            cfg.damaged = true;
        else if (a == "--remotes")
            cfg.remoteCount = number();
        else if (a == "--pacing")
            cfg.pacing = true;
        else if (a == "--data-dir")
            cfg.dataDir = value();
        else if (a == "--log")
            cfg.logFile = value();
        else if (a == "--sleep-after")
            cfg.timing.sleepAfterMs = number();
        else if (a == "--radio-delay")
            cfg.timing.radioDelayMs = number();
        else if (a == "--scan-delay")
            cfg.timing.scanDelayMs = number();
        else if (a == "--guard-time")
            cfg.timing.guardTimeMs = number();
        else if (a == "--byte-gap")
            cfg.timing.byteGapMs = number();
        else {
            std::fprintf(stderr, "vireo-sim: unknown option %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (cfg.remoteCount > 300) {
        std::fprintf(stderr, "vireo-sim: at most 300 remote modules\n");
        return 2;
    }

    // Block the stop signals before any thread starts, then wait for one of them here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    vireo::sim::Simulator sim(cfg);
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "vireo-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", sim.SlavePath().c_str());
    std::fflush(stdout);
    if (sim.ComNumber() > 0)
        std::fprintf(stderr, "vireo-sim: %s %s as COM%d (%s), %zu remote modules\n",
                     cfg.product.c_str(), cfg.version.c_str(), sim.ComNumber(),
                     sim.PortLink().c_str(), sim.RemoteCount());
    if (sim.Local().Commands().empty())
        std::fprintf(
            stderr,
            "vireo-sim: no construct file %s_%s.vmcon in %s: the module has no parameters\n",
            cfg.product.c_str(), cfg.version.c_str(),
            cfg.dataDir.empty() ? "the program directory" : cfg.dataDir.c_str());
    int sig = 0;
    sigwait(&stopSignals, &sig);
    sim.Stop();
    return 0;
}
