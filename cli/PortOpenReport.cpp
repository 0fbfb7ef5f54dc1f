#include "cli/PortOpenReport.h"
#include "cli/Connection.h"
#include "cli/ConsoleUi.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/PortConsole.h"
#include "platform/PortMap.h"
#include "serial/SerialPort.h"

#include <cstdio>

namespace vireo::cli {

int PortOpenExitCode(PortOpenCause cause) {
    switch (cause) {
    case PortOpenCause::NoSuchDevice: return kExitNoSuchDevice;
    case PortOpenCause::PermissionDenied: return kExitPermissionDenied;
    case PortOpenCause::Busy: return kExitPortBusy;
    case PortOpenCause::NotSerial: return kExitNotSerial;
    case PortOpenCause::None:
    case PortOpenCause::Other: break;
    }
    return kExitPortOpen;
}

std::string PortOpenJson(const PortOpenFailure& failure) {
    CJsonObject object;
    object.Add("port", PortName(failure.port))
        .AddNumber("exit_code", PortOpenExitCode(failure.cause))
        .Add("cause", PortOpenCauseName(failure.cause))
        .Add("message", ConsoleText(PortOpenMessage(failure)));
    return object.Text() + "\n";
}

int FinishPortOpenFailure(const PortOpenFailure& failure, const CliOptions& options) {
    // With several ports, the port's own result object carries the code and the message.
    if (options.json && !CurrentPortConsole()) {
        std::fputs(PortOpenJson(failure).c_str(), stdout);
        std::fflush(stdout);
    }
    return PortOpenExitCode(failure.cause);
}

int ReportPortOpenFailure(const CSerialPort& port, const CliOptions& options) {
    const PortOpenFailure failure = port.OpenFailure();
    PrintError(ConsoleText(PortOpenMessage(failure)));
    return FinishPortOpenFailure(failure, options);
}

} // namespace vireo::cli
