// The UI-services seam: every message box, question, file dialog, wait cursor and shell
// "open" of the program goes through one IUiServices object. The application installs the
// Qt implementation; tests install a scripted one that records each message and answers
// from a queue.
//
// UiServices() may be called from any thread; implementations marshal to the GUI thread.
// A thread may install services of its own (InstallThreadUiServices): its calls then go
// there instead of to the process-wide services, so that several devices handled on
// several threads each report to their own console.
#pragma once

#include <string>

#ifdef _WIN32
// windows.h renames MessageBox to MessageBoxA; include it first and drop that macro for good
// (its include guard keeps a later include from bringing it back).
#include <windows.h>
#undef MessageBox
#endif

namespace vireo {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Question, Warning, Error, Information };
enum class MsgAnswer { Ok, Yes, No };

struct FileDialogOptions {
    std::string filter;      // "Text (*.txt)|*.txt|All Files(*.*)|*.*|" as the program writes it
    std::string defaultExt;  // without the dot; may be empty
    std::string initialName; // proposed file name; may be empty
    bool promptOverwrite = false;
};

class IUiServices {
public:
    virtual ~IUiServices() = default;

    // Modal message box; texts are 8-bit, "\r\n" breaks a line.
    virtual MsgAnswer MessageBox(const std::string& text, const std::string& caption,
                                 MsgButtons buttons, MsgIcon icon) = 0;
    // File dialogs: the chosen path, or empty on Cancel.
    virtual std::string GetOpenFileName(const FileDialogOptions& options) = 0;
    virtual std::string GetSaveFileName(const FileDialogOptions& options) = 0;
    // Wait cursor; calls nest.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // Opens a file or URL with the desktop's default application.
    virtual void ShellOpen(const std::string& pathOrUrl) = 0;
};

// The installed services; a default that shows nothing and answers No/Ok is present until
// one is installed.
IUiServices& UiServices();
void InstallUiServices(IUiServices* services);
// Services for the calling thread only, ahead of the process-wide ones; nullptr removes them.
void InstallThreadUiServices(IUiServices* services);
// The calling thread's own services; nullptr when it has none.
IUiServices* ThreadUiServices();
// The services UiServices() passes the calling thread's calls to: its own, else the
// process-wide ones. For services that stand in for a while and pass some calls on.
IUiServices* InstalledUiServices();

// Message boxes and file dialogs of UiServices() open right now, on any thread. A modal box
// runs the event loop while the action that opened it is still under way: work that must not
// run in the middle of an action waits until this is 0.
int OpenDialogCount();

// Shorthand for an OK box without icon, the common case.
void ShowMessage(const std::string& text, const std::string& caption = "Vireo Manager");

// Wait cursor for the lifetime of the object.
class CWaitCursor {
public:
    CWaitCursor() { UiServices().BeginWaitCursor(); }
    ~CWaitCursor() { UiServices().EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace vireo
