#include "platform/QtUiServices.h"
#include "platform/QtText.h"
#include "serial/SerialNotify.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

namespace vireo {

namespace {

// Runs f on the GUI thread and returns its result; directly when already there.
template <class F> auto OnGuiThread(F f) -> decltype(f()) {
    if (QThread::currentThread() == qApp->thread())
        return f();
    decltype(f()) result{};
    QMetaObject::invokeMethod(
        qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

void PostToObject(void* hWnd, unsigned message) {
    QCoreApplication::postEvent(static_cast<QObject*>(hWnd),
                                new QEvent(static_cast<QEvent::Type>(message)));
}

} // namespace

QString QtFileFilter(const std::string& filter) {
    const QStringList parts = ToQt(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (const int paren = description.indexOf('('); paren >= 0)
            description = description.left(paren);
        filters << description.trimmed() + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    }
    return filters.join(";;");
}

MsgAnswer CQtUiServices::MessageBox(const std::string& text, const std::string& caption,
                                    MsgButtons buttons, MsgIcon icon) {
    return OnGuiThread([&] {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(ToQt(caption));
        // Messages quote file names, replies and server texts: show them as they are.
        box.setTextFormat(Qt::PlainText);
        box.setText(ToQt(text).replace("\r\n", "\n"));
        const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Question,
                                           QMessageBox::Warning, QMessageBox::Critical,
                                           QMessageBox::Information};
        box.setIcon(icons[static_cast<int>(icon)]);
        if (buttons == MsgButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        // A wait cursor of the caller must not hide the box's own cursor.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const int result = box.exec();
        QApplication::restoreOverrideCursor();
        if (buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    });
}

std::string CQtUiServices::GetOpenFileName(const FileDialogOptions& options) {
    return OnGuiThread([&] {
        return QFileDialog::getOpenFileName(nullptr, QString(), ToQt(options.initialName),
                                            QtFileFilter(options.filter))
            .toStdString();
    });
}

std::string CQtUiServices::GetSaveFileName(const FileDialogOptions& options) {
    return OnGuiThread([&] {
        QFileDialog dialog(nullptr, QString(), QString(), QtFileFilter(options.filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(ToQt(options.defaultExt).remove("*.").remove('.'));
        if (!options.initialName.empty() && options.initialName.find('*') == std::string::npos)
            dialog.selectFile(ToQt(options.initialName));
        if (!options.promptOverwrite)
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0).toStdString()
                                                  : std::string();
    });
}

void CQtUiServices::BeginWaitCursor() {
    OnGuiThread([] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return 0;
    });
}

void CQtUiServices::EndWaitCursor() {
    OnGuiThread([] {
        QApplication::restoreOverrideCursor();
        return 0;
    });
}

void CQtUiServices::ShellOpen(const std::string& pathOrUrl) {
    OnGuiThread([&] {
        const QString target = ToQt(pathOrUrl);
        const QUrl url = target.contains("://") ? QUrl(target) : QUrl::fromLocalFile(target);
        return QDesktopServices::openUrl(url);
    });
}

void InstallQtMessagePoster() {
    SetPostMessageFunction(&PostToObject);
}

} // namespace vireo
