#include "cli/Connection.h"
#include "cli/ConsoleInput.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Verbs.h"
#include "cli/WaitPort.h"
#include "platform/PortMap.h"
#include "serial/SerialPort.h"
#include "terminal/TerminalRender.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace vireo::cli {

namespace {

constexpr uint8_t kLeaveKey = 0x1D; // Ctrl-]
// After the input has ended, the module's last answers are awaited until the line has been
// quiet this long.
constexpr int kQuietAfterInputMs = 1000;

// Standard output as a terminal screen, for the HEXA view. A backspace is drawn by moving
// back over the character and blanking it.
class CStdoutScreen final : public ITerminalScreen {
public:
    void Append(const std::string& text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (!text.empty())
            m_lastLineEmpty = text.back() == '\n';
    }
    bool LastLineEmpty() const override { return m_lastLineEmpty; }
    void DeleteLastChar() override { std::fputs("\b \b", stdout); }

private:
    bool m_lastLineEmpty = true;
};

// Copies what the module sent to standard output; true when anything came.
bool ShowReceived(CSerialPort& port, bool hex, TerminalState& state, CStdoutScreen& screen) {
    std::string bytes;
    port.m_rxRing.TakeAll(bytes);
    if (bytes.empty())
        return false;
    if (hex)
        RenderReceived(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), state, screen);
    else
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
    return true;
}

// Sends typed bytes up to the leave key; false when it was pressed. Closing the port throws
// away what the driver has not sent yet, so on leaving the line is given the time the last
// bytes take at its rate.
bool SendTyped(CSerialPort& port, const uint8_t* bytes, int length, int baudRate) {
    int end = 0;
    while (end < length && bytes[end] != kLeaveKey)
        ++end;
    if (end > 0)
        port.Write(bytes, end);
    if (end == length)
        return true;
    InterruptibleSleep(20 + end * 10 * 1000 / baudRate);
    return false;
}

int Converse(CSerialPort& port, int portNumber, int baudRate, bool hex, CStdoutScreen& screen) {
    CConsoleInput input;
    TerminalState state;
    state.viewMode = hex ? 1 : 0;
    if (input.IsTerminal())
        std::fprintf(stderr, "Connected to %s (%s) at %d baud. Ctrl-] leaves.\n",
                     PortName(portNumber).c_str(), port.m_strDevice.c_str(), baudRate);
    bool inputOpen = true;
    auto lastHeard = std::chrono::steady_clock::now();
    uint8_t typed[256];
    while (!Interrupted()) {
        if (ShowReceived(port, hex, state, screen))
            lastHeard = std::chrono::steady_clock::now();
        if (port.IsLost()) {
            PrintError("ERROR: The line to the module was lost (" + port.LastError() + ").");
            return kExitFailure;
        }
        if (!inputOpen) {
            if (std::chrono::steady_clock::now() - lastHeard >
                std::chrono::milliseconds(kQuietAfterInputMs))
                return kExitOk;
            port.m_rxRing.WaitForData(std::chrono::milliseconds(20));
            continue;
        }
        const int n = input.Read(typed, sizeof(typed), 10);
        if (n < 0) {
            inputOpen = false;
            lastHeard = std::chrono::steady_clock::now();
        } else if (n > 0 && !SendTyped(port, typed, n, baudRate)) {
            return kExitOk;
        }
    }
    return kExitInterrupted;
}

} // namespace

int RunTerm(const CliOptions& options) {
    CSerialPort port;
    const int baudRate = options.baudRate ? options.baudRate : 9600;
    if (const int rc = OpenVerbPort(port, options, baudRate, options.flowControl); rc != kExitOk)
        return rc;
    CStdoutScreen screen;
    const int rc = Converse(port, options.port, baudRate, options.hex, screen);
    port.Close();
    if (!screen.LastLineEmpty())
        std::fputc('\n', stdout); // the shell's prompt starts on a line of its own
    return rc;
}

} // namespace vireo::cli
