// Configuration files (*.zgb): a profile file whose section "Firmware" names the construct
// file the values belong to ("Version") and the number of parameter sections
// ("Num_of_saves"), followed by the sections "0", "1", ... with the parameter's "Name"
// (group/name) and the "Command" that sets it to its saved value.
//
// Also the texts every export and import shares: the file dialog filter, the error log names
// and where error logs go.
#pragma once

#include "config/ConstructFile.h"
#include "platform/UiServices.h"

#include <string>
#include <string_view>

namespace zgb {
constexpr const char* kFirmware = "Firmware";
constexpr const char* kVersion = "Version";
constexpr const char* kNumOfSaves = "Num_of_saves";
constexpr const char* kName = "Name";
constexpr const char* kCommand = "Command";
} // namespace zgb

constexpr const char* kExportErrorLog = "ExportErrorLog.TXT";
constexpr const char* kImportErrorLog = "ImportErrorLog.TXT";

// An export never writes more sections than a construct file has parameters; an import reads
// no more than that either, whatever count the file claims.
constexpr long long kMaxConfigSections = kMaxParams;
// A larger file is no configuration file (an export of 1000 long parameters is far smaller).
constexpr size_t kMaxConfigFileBytes = 8u << 20;

// The file dialogs of Export (save, proposing "*.zgb", asking before overwriting) and Import.
vireo::FileDialogOptions ExportDialogOptions();
vireo::FileDialogOptions ImportDialogOptions();

// True when text can go to the module as one command line: not empty and without control
// characters (no CR or LF that would end it early and start another command, no zero byte).
bool IsSingleCommandLine(std::string_view text);

// Control characters of text written as <0D>, so that a log shows what a line held.
std::string VisibleText(std::string_view text);

// The number of parameter sections a file claims: the leading decimal digits of
// "Num_of_saves" (0 when there are none), saturated instead of overflowing.
long long ParseSavedCount(std::string_view text);

// Writes an error log named name into dir (the current directory when dir is empty) or, when
// that cannot be written, into the system's temporary directory. Returns the path written,
// or an empty text when neither could be.
std::string WriteErrorLog(const std::string& dir, const std::string& name, const std::string& text);
// Writes the error log as WriteErrorLog does and opens it with the desktop's "open", or says
// that it could not be written. Returns the path written, empty when none.
std::string ShowErrorLog(const std::string& dir, const std::string& name, const std::string& text);
