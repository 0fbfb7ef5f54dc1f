// Finding and reading the construct file of a device: the exact name in the program
// directory first, then (after the user's answer) the fallback search for the newest fitting
// file, with the messages the user sees on the way.
#pragma once

#include "config/ConstructFile.h"

#include <functional>
#include <string>

struct ConstructLoadRequest {
    std::string fileName;     // product + "_" + version + ".vmcon"
    std::string localProduct; // the local device's product name, preferred by the fallback
    bool remoteMode = false;  // leave out "Security Settings"
    std::string directory;    // where construct files lie (the program directory)
    // Runs the construct-file update from the web server into the directory; empty when the
    // program has none, in which case Yes is handled as No.
    std::function<void(const std::string& directory)> updateFromWeb;
};

// Parses the requested construct file into data: 1 when a file was loaded, -1 when none
// could be opened (the records are then empty). data.m_strConstructFile is the name asked
// for in either case.
int ParseConstructFile(CConstructData& data, const ConstructLoadRequest& request);

// A construct file name from the device's replies may only name a file of the directory
// itself: true when it holds no path separator.
bool IsBareFileName(const std::string& name);
