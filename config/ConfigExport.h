// Export: reads every writable parameter of the loaded construct file from the device (local
// or remote) and saves, for each, the command that sets it to its present value into a
// configuration file (ConfigFile.h). Parameters that cannot be read are left out, without a
// gap in the section numbers, and listed in the error log.
//
// Runs on the calling (GUI) thread and blocks it for one transaction per parameter.
#pragma once

#include "config/ConfigTarget.h"
#include "config/ConstructFile.h"

#include <functional>
#include <string>

// Called after each parameter: how many of the total have been handled.
using ConfigProgress = std::function<void(int done, int total)>;

struct ConfigExportResult {
    bool written = false; // the configuration file was written (false: nothing was read)
    int saved = 0;        // parameter sections in the file
    int failed = 0;       // parameters that could not be read
    std::string log;      // text of the error log; empty when nothing failed
};

// The export itself: creates the file, wakes a sleepy local device once, reads the
// parameters in file order (skipping read-only ones) and writes the file. A value that holds
// a line break or another control character cannot be stored as one command: it counts as a
// failed read.
ConfigExportResult ExportConfiguration(const CConfigTarget& target, const CConstructData& data,
                                       const std::string& path,
                                       const ConfigProgress& progress = {});

// Export after the file dialog, with what the user sees: the wait cursor, a message when the
// file cannot be written, and the error log written into logDir (see WriteErrorLog) and
// opened with the desktop's "open" when a parameter failed. *logPath (when given) receives
// the path of the log written, empty when none.
ConfigExportResult ExportToFile(const CConfigTarget& target, const CConstructData& data,
                                const std::string& path, const std::string& logDir,
                                const ConfigProgress& progress = {},
                                std::string* logPath = nullptr);
