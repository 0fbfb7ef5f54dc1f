// The update server's index files. Both are byte text: carriage returns are dropped, the text
// must begin with the marker line "TOLK\n" (exactly these five bytes), and after it every
// non-empty line is one entry.
//
// Configs index: each line is the name of a construct file, fetched from the base address +
// name and stored in the program directory under the same name.
//
// Firmware index: each line is "product:version:file name". A line counts for a device when
// it begins with the device's product name; its version is the device's own when it begins
// with the device's version. If any counting line carries the device's version there is no
// new firmware; otherwise the last counting line is offered. Lines with fewer than two ":",
// or with nothing after the second, name no file and are left out entirely.
#pragma once

#include <string>
#include <vector>

namespace vireo {

// Removes every carriage return from text and says whether it begins with the marker line.
bool PrepareIndex(std::string& text);

// The non-empty lines after the marker, in file order, of a prepared index. Text from the
// first zero byte on is not read.
std::vector<std::string> IndexLines(const std::string& prepared);

// True when a name from the Configs index may be stored under the program directory: a
// relative path whose parts ("/" or "\" between them) are neither empty, "." nor "..", with
// no ":" and no control bytes, so that it can only name a file in that directory or in a
// folder below it (which must exist already).
bool IsSafeLocalName(const std::string& name);

struct FirmwareLine {
    std::string product;
    std::string version;
    std::string fileName;
};

// Splits "product:version:file name"; false when the line names no file.
bool SplitFirmwareLine(const std::string& line, FirmwareLine& out);

struct FirmwareOffer {
    bool available = false;
    std::string version;
    std::string fileName; // relative to the update base address
};

FirmwareOffer FindNewFirmware(const std::vector<std::string>& lines, const std::string& product,
                              const std::string& currentVersion);

} // namespace vireo
