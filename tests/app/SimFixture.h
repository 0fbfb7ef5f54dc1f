// A main dialog and a simulated module on COM1 of a private port directory, both in this
// process; message boxes go to a scripted UI. The module sends at the line rate, byte after
// byte, as a real one does.
#pragma once

#include "app/ManagerDlg.h"
#include "config/ConfigPage.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedUi.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace vireo::test {

// Answers of a module that knows the identification queries; every other line gets "OK".
inline std::string IdentityAnswer(const std::string& line) {
    static const std::map<std::string, std::string> values = {
        {"AT+NODETYPE", "1"},    {"AT+PRODUCTNAME", "KA40"}, {"AT+LONGADDR", "000D6F0000A1B2C3"},
        {"AT+NODENAME", "Unit"}, {"AT+VERSION", "v1.1.0"},   {"AT+UF", "0"}};
    const auto it = values.find(line);
    return it == values.end() ? "\r\nOK\r\n" : "\r\n" + it->second + "\r\n\r\nOK\r\n";
}

class SimFixture : public ::testing::Test {
protected:
    ~SimFixture() override {
        dlg.reset();
        if (sim)
            sim->Stop();
    }

    // Starts the module, then builds the dialog (so that its port list shows COM1) at the
    // module's rate.
    void Start(sim::SimConfig config = {}) {
        config.comNumber = 1;
        config.remoteCount = 2;
        config.pacing = true;
        sim = std::make_unique<sim::Simulator>(config);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        ASSERT_EQ(1, sim->ComNumber());
        MakeDialog();
        SelectRate(config.baudRate);
    }

    void MakeDialog() {
        dlg = std::make_unique<CManagerDlg>();
        dlg->OnInitDialog();
        dlg->show();
        page = dlg->m_tabHost.ConfigPage();
    }

    void SelectRate(int baud) {
        const int index = dlg->m_cbBaudRate->findText(QString::number(baud));
        ASSERT_GE(index, 0) << baud;
        dlg->m_cbBaudRate->setCurrentIndex(index);
    }

    void SelectItem(const QString& text) {
        const auto items = page->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(items.empty()) << text.toStdString();
        page->Tree()->setCurrentItem(items.back());
    }

    std::string Info(int id) const { return dlg->Form().Get<QLabel>(id)->text().toStdString(); }

    // Runs the event loop until done() holds, for at most 10 s.
    template <class Done> void ProcessEventsUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    CTempPortDir dir;
    CScriptedUi ui;
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<CManagerDlg> dlg;
    CConfigPage* page = nullptr;
};

} // namespace vireo::test
