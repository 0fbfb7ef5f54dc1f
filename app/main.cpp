#include "app/ManagerApp.h"
#include "platform/QtUiServices.h"

#include <QApplication>
#include <curl/curl.h>

int main(int argc, char* argv[]) {
    // libcurl's global state must be set up before any thread exists.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int status = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName("Vireo Manager");
        vireo::CQtUiServices services;
        vireo::InstallUiServices(&services);
        vireo::InstallQtMessagePoster();
        theApp.InitInstance();
        vireo::InstallUiServices(nullptr);
    }
    curl_global_cleanup();
    return status;
}
