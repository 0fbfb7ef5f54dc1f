// The read-back check after an import: every parameter the device took is read again and
// compared with the value the file set, so that a value the device acknowledged but did not
// keep (write-protected, clamped, taken only after a restart) shows up.
//
// Runs on the calling thread and blocks it for one transaction per parameter.
#pragma once

#include "config/ConfigExport.h"
#include "platform/ProfileFile.h"

#include <string>
#include <string_view>
#include <vector>

struct ConfigDifference {
    std::string name;    // the section's "Name" (group/name)
    std::string command; // the command the file holds, without its line end
    std::string found;   // what the device reads back; "ERROR" when it gave no value
};

// True when the value read back is the value written: the same text, or the same number when
// both are hexadecimal digits (a device may answer "00FF" to "ff").
bool SameConfigValue(std::string_view written, std::string_view read);

// Reads back the parameters of the given sections of file (those the import sent and the
// device took) and returns those that differ. A section whose command sets no value ("ATZ")
// is not checked. progress counts the sections checked.
std::vector<ConfigDifference> VerifyImport(const CConfigTarget& target,
                                           const vireo::CProfileFile& file,
                                           const std::vector<int>& sections,
                                           const ConfigProgress& progress = {});

// The differences as the import error log lists them, under a heading of their own.
std::string DifferencesLog(const std::vector<ConfigDifference>& differences);
