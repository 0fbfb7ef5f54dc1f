#include "platform/UiServices.h"

#include <atomic>

namespace vireo {

namespace {

// Used before the application installs its services (and by tools without a GUI): it
// shows nothing and takes the cautious answer.
class CSilentUiServices final : public IUiServices {
public:
    MsgAnswer MessageBox(const std::string&, const std::string&, MsgButtons buttons,
                         MsgIcon) override {
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
    std::string GetOpenFileName(const FileDialogOptions&) override { return {}; }
    std::string GetSaveFileName(const FileDialogOptions&) override { return {}; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void ShellOpen(const std::string&) override {}
};

CSilentUiServices g_silent;
std::atomic<IUiServices*> g_services{&g_silent};

} // namespace

IUiServices& UiServices() {
    return *g_services.load();
}

void InstallUiServices(IUiServices* services) {
    g_services.store(services ? services : &g_silent);
}

void ShowMessage(const std::string& text, const std::string& caption) {
    UiServices().MessageBox(text, caption, MsgButtons::Ok, MsgIcon::None);
}

} // namespace vireo
