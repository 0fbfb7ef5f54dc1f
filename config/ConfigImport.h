// Import: plays a configuration file (ConfigFile.h) back into the device (local or remote),
// one set command per section, in section order. The commands go as they are stored, whatever
// the loaded construct file holds; that file's name only serves to check that the
// configuration was made for the same product and firmware version.
//
// Runs on the calling (GUI) thread and blocks it for one transaction per section.
#pragma once

#include "config/ConfigExport.h"
#include "config/ConfigFile.h"
#include "config/ConfigVerify.h"
#include "platform/ProfileFile.h"

#include <string>
#include <vector>

enum class ConfigFileVerdict {
    Invalid,      // unreadable, too large, or without a "Version"
    OtherVersion, // made for another construct file than the one loaded
    Matches,
};

// Reads a configuration file into file and judges it against the loaded construct file name.
ConfigFileVerdict LoadConfigFile(const std::string& path, const std::string& constructFile,
                                 vireo::CProfileFile& file);

struct ConfigImportResult {
    enum class Outcome { Done, Invalid, Declined } outcome = Outcome::Done;
    int sections = 0;       // sections read (the file's count, at most kMaxConfigSections)
    int failed = 0;         // sections not taken: refused, missing, or not one command line
    std::string log;        // text of the error log; empty when nothing failed
    std::vector<int> taken; // sections the device took, in order
    bool checked = false;   // the taken parameters were read back
    std::vector<ConfigDifference> differences; // what the read-back found changed

    // Commands the device took.
    int Acknowledged() const { return static_cast<int>(taken.size()); }
};

// Whether the parameters the device took are read back after the import.
enum class ImportCheck {
    None,   // no read-back
    Ask,    // ask the user when the import wrote anything
    Always, // read back whenever the import wrote anything
};

// The import itself: wakes a sleepy local device once, then sends the stored command of each
// section with its "\r\n". A section without a command, or whose command is not one command
// line, is not sent; it is logged as failed with whatever it holds.
ConfigImportResult ImportConfiguration(const CConfigTarget& target, const vireo::CProfileFile& file,
                                       const ConfigProgress& progress = {});

// Import after the file dialog, with what the user sees: "ERROR: The configuration file is
// invalid." for a file without a version, the question before playing back a file made for
// another construct file, and the error log written into logDir and opened with the desktop's
// "open" when a section failed, under logName (several imports at once need one each).
// *logPath as for ExportToFile. Then, as check says, the read-back of what the device took
// (checkProgress counts it): its differences join the error log; when asked for and nothing
// differs, a message says so.
ConfigImportResult ImportFromFile(const CConfigTarget& target, const std::string& constructFile,
                                  const std::string& path, const std::string& logDir,
                                  const ConfigProgress& progress = {},
                                  std::string* logPath = nullptr,
                                  const std::string& logName = kImportErrorLog,
                                  ImportCheck check = ImportCheck::None,
                                  const ConfigProgress& checkProgress = {});
