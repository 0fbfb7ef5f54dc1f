#include "config/ConfigFile.h"
#include "platform/ProfileFile.h"
#include "platform/UiServices.h"
#include "serial/DeviceLink.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

namespace {
constexpr const char* kZgbFilter = "zgb Files(*.zgb)|*.zgb|All Files(*.*)|*.*|";

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}
} // namespace

vireo::FileDialogOptions ExportDialogOptions() {
    vireo::FileDialogOptions options;
    options.filter = kZgbFilter;
    options.defaultExt = "*.zgb";
    options.initialName = "*.zgb";
    options.promptOverwrite = true;
    return options;
}

vireo::FileDialogOptions ImportDialogOptions() {
    vireo::FileDialogOptions options;
    options.filter = kZgbFilter;
    options.promptOverwrite = true;
    return options;
}

bool IsSingleCommandLine(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (IsControl(c))
            return false;
    return true;
}

std::string VisibleText(std::string_view text) {
    std::string visible;
    for (char c : text) {
        if (IsControl(c)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", static_cast<unsigned char>(c));
            visible += hex;
        } else {
            visible += c;
        }
    }
    return visible;
}

long long ParseSavedCount(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    long long count = 0;
    constexpr long long kMax = std::numeric_limits<long long>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (count > (kMax - 9) / 10)
            return kMax;
        count = count * 10 + (text[i] - '0');
    }
    return count;
}

std::string WriteErrorLog(const std::string& dir, const std::string& name,
                          const std::string& text) {
    namespace fs = std::filesystem;
    const std::string first = dir.empty() ? name : (fs::path(dir) / name).string();
    if (vireo::WriteWholeFile(first, text))
        return first;
    std::error_code error;
    const fs::path temp = fs::temp_directory_path(error);
    if (error)
        return {};
    const std::string second = (temp / name).string();
    return vireo::WriteWholeFile(second, text) ? second : std::string();
}

std::string ShowErrorLog(const std::string& dir, const std::string& name, const std::string& text) {
    const std::string written = WriteErrorLog(dir, name, text);
    if (written.empty())
        vireo::ShowMessage("ERROR: Could not write " + name + ".", kAppCaption);
    else
        vireo::UiServices().ShellOpen(written);
    return written;
}
