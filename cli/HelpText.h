// The help texts of the vireo tool.
#pragma once

#include "cli/CommandLine.h"

namespace vireo::cli {

// The overview for Verb::None, else the help of the verb.
const char* HelpText(Verb verb);

// "vireo (Vireo Manager) <version>".
const char* VersionText();

} // namespace vireo::cli
