// The Qt implementation of the UI-services seam. Calls from worker threads are carried out
// on the GUI thread, the caller waiting for the answer.
#pragma once

#include "platform/UiServices.h"

#include <QString>

namespace vireo {

class CQtUiServices final : public IUiServices {
public:
    MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::string GetOpenFileName(const FileDialogOptions& options) override;
    std::string GetSaveFileName(const FileDialogOptions& options) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShellOpen(const std::string& pathOrUrl) override;
};

// "Desc(*.a)|*.a|All Files(*.*)|*.*|" as the program writes filters, in Qt's form:
// "Desc (*.a);;All Files (*.*)".
QString QtFileFilter(const std::string& filter);

// Installs the function through which the serial reader posts WM_SERIAL_DATA to a QObject.
void InstallQtMessagePoster();

} // namespace vireo
