#include "app/ManagerApp.h"
#include "platform/QtUiServices.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <string>

namespace {

const char kUsage[] =
    "usage: vireo-manager [--help] [--version] [--log FILE] [Qt options]\n"
    "Configures and updates ZigBee radio modules over a serial line.\n"
    "\n"
    "The manager is a window: start it in a graphical session (a desktop, or a shell whose\n"
    "DISPLAY or WAYLAND_DISPLAY reaches one).\n"
    "\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n"
    "  --log FILE  record every byte on the serial line, both ways, into FILE\n"
    "\n"
    "COM port numbers come from the port directory ($VIREO_PORT_DIR, by default\n"
    "~/.config/vireo-manager/ports) and from the serial devices present; see README.md.\n";

// Answers --help and --version on the terminal. Runs before any window system is touched, so
// both work without a display. Returns true when the program should end with status.
bool AnswerOnTerminal(int argc, char* argv[], int& status) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Vireo Manager %s\n", VIREO_VERSION);
            status = 0;
            return true;
        }
    }
    return false;
}

// The file of "--log FILE" or "--log=FILE"; empty when not given. False when --log has no
// file name.
bool FindLogOption(int argc, char* argv[], std::string& file) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log") == 0)
            file = i + 1 < argc ? argv[++i] : "";
        else if (std::strncmp(argv[i], "--log=", 6) == 0)
            file = argv[i] + 6;
        else
            continue;
        if (file.empty())
            return false;
    }
    return true;
}

// On X11 and Wayland desktops, a missing display makes Qt abort with a crash-like report;
// say plainly what is missing instead. A platform chosen by QT_QPA_PLATFORM or -platform
// (offscreen, vnc, ...) needs no display.
bool MissingDisplay(int argc, char* argv[]) {
#if defined(__linux__)
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(x11 && *x11) && !(wayland && *wayland);
#else
    (void)argc;
    (void)argv;
    return false;
#endif
}

} // namespace

int main(int argc, char* argv[]) {
    int status = 0;
    if (AnswerOnTerminal(argc, argv, status))
        return status;
    if (!FindLogOption(argc, argv, theApp.m_strLogFile)) {
        std::fputs("vireo-manager: --log needs a file name\n", stderr);
        return 2;
    }
    if (MissingDisplay(argc, argv)) {
        std::fputs("vireo-manager: no graphical session: neither DISPLAY nor WAYLAND_DISPLAY is "
                   "set.\nStart it from a desktop, or in a virtual one: xvfb-run -a "
                   "vireo-manager\n",
                   stderr);
        return 1;
    }
    // libcurl's global state must be set up before any thread exists.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName("Vireo Manager");
        // Lets the desktop match the window with the installed entry and its icon.
        QGuiApplication::setDesktopFileName("vireo-manager");
        vireo::CQtUiServices services;
        vireo::InstallUiServices(&services);
        vireo::InstallQtMessagePoster();
        theApp.InitInstance();
        vireo::InstallUiServices(nullptr);
    }
    curl_global_cleanup();
    return status;
}
