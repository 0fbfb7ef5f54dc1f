// Fuzz target of the profile (INI) layer that reads configuration files: whatever the file
// holds, what it says survives being written and read again, and a key written with a value
// the layer accepts reads back as that value without disturbing the other sections.
#include "platform/ProfileFile.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr const char* kSections[] = {"Firmware", "Setting_0", "Setting_1", "setting_1"};
constexpr const char* kKeys[] = {"Version", "Num_of_saves", "Command", "Model"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    vireo::CProfileFile file;
    file.Parse(text);
    vireo::CProfileFile again;
    again.Parse(file.Text());
    for (const char* section : kSections)
        for (const char* key : kKeys)
            if (file.GetString(section, key) != again.GetString(section, key))
                std::abort();
    // A write of the input's tail into one key.
    const std::string_view value = text.substr(text.size() / 2);
    const std::optional<std::string> other = file.GetString("Firmware", "Version");
    if (file.WriteString("Setting_9", "Command", value)) {
        const std::optional<std::string> back = file.GetString("setting_9", "command");
        std::string expected(value);
        if (expected.size() >= 2 && expected.compare(expected.size() - 2, 2, "\r\n") == 0)
            expected.resize(expected.size() - 2);
        const bool plain = !expected.empty() && expected.front() != ' ' &&
                           expected.front() != '\t' && expected.back() != ' ' &&
                           expected.back() != '\t' && expected.front() != '"' &&
                           expected.front() != '\'';
        if (!back || (plain && *back != expected))
            std::abort();
        if (file.GetString("Firmware", "Version") != other)
            std::abort();
    }
    return 0;
}
