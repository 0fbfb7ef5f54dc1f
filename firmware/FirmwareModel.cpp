#include "firmware/FirmwareModel.h"
#include "platform/UiServices.h"

#include <cstdio>
#include <filesystem>

std::string ChooseFirmwareFile() {
    vireo::FileDialogOptions options;
    options.filter = "ebl Files(*.ebl)|*.ebl|All Files(*.*)|*.*|";
    options.promptOverwrite = true;
    return vireo::UiServices().GetOpenFileName(options);
}

int DetectFirmwareModel(const std::string& path, std::string& model) {
    static const char* const kModels[] = {"KA30", "KD30", "KM30", "KA40", "KD40", "KM40X"};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return 0; // a directory opens for reading on some systems, but holds no image
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    char head[256];
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (got == 0)
        return 0;
    std::string text(head, got < 255 ? got : 255);
    for (char& c : text) {
        if (c == '\0')
            c = ' ';
    }
    model.clear();
    for (const char* name : kModels) {
        if (text.find(name) != std::string::npos) {
            model = name;
            break;
        }
    }
    return 1;
}
