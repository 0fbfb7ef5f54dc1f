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
std::atomic<int> g_openDialogs{0};
thread_local IUiServices* t_services = nullptr;

IUiServices& Installed() {
    return *InstalledUiServices();
}

// What UiServices() hands out: forwards every call to the installed services and counts the
// message boxes and file dialogs that are open meanwhile.
class CCountingUiServices final : public IUiServices {
public:
    MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override {
        const Open open;
        return Installed().MessageBox(text, caption, buttons, icon);
    }
    std::string GetOpenFileName(const FileDialogOptions& options) override {
        const Open open;
        return Installed().GetOpenFileName(options);
    }
    std::string GetSaveFileName(const FileDialogOptions& options) override {
        const Open open;
        return Installed().GetSaveFileName(options);
    }
    void BeginWaitCursor() override { Installed().BeginWaitCursor(); }
    void EndWaitCursor() override { Installed().EndWaitCursor(); }
    void ShellOpen(const std::string& pathOrUrl) override { Installed().ShellOpen(pathOrUrl); }

private:
    struct Open {
        Open() { ++g_openDialogs; }
        ~Open() { --g_openDialogs; }
        Open(const Open&) = delete;
        Open& operator=(const Open&) = delete;
    };
};

CCountingUiServices g_counting;

} // namespace

IUiServices& UiServices() {
    return g_counting;
}

int OpenDialogCount() {
    return g_openDialogs.load();
}

void InstallUiServices(IUiServices* services) {
    g_services.store(services ? services : &g_silent);
}

IUiServices* ThreadUiServices() {
    return t_services;
}

IUiServices* InstalledUiServices() {
    return t_services ? t_services : g_services.load();
}

void InstallThreadUiServices(IUiServices* services) {
    t_services = services;
}

void ShowMessage(const std::string& text, const std::string& caption) {
    UiServices().MessageBox(text, caption, MsgButtons::Ok, MsgIcon::None);
}

} // namespace vireo
