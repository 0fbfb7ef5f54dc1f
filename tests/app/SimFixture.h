// A main dialog and a simulated module on COM1 of a private port directory, both in this
// process; message boxes go to a scripted UI. The module sends at the line rate, byte after
// byte, as a real one does, unless a test sets `instant` and says why.
#pragma once

#include "app/ManagerDlg.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <QApplication>
#include <QComboBox>
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

inline QApplication& App() {
    return *static_cast<QApplication*>(QApplication::instance());
}

class SimFixture : public ::testing::Test {
protected:
    SimFixture() { App(); }
    ~SimFixture() override {
        dlg.reset();
        if (sim)
            sim->Stop();
    }

    // Starts the module, then builds the dialog (so that its port list shows COM1).
    void Start(sim::SimConfig config = {}) {
        config.comNumber = 1;
        config.remoteCount = 2;
        if (!instant)
            config.pacing = true;
        sim = std::make_unique<sim::Simulator>(config);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        ASSERT_EQ(1, sim->ComNumber());
        MakeDialog();
    }

    void MakeDialog() {
        dlg = std::make_unique<CManagerDlg>();
        dlg->OnInitDialog();
        dlg->show();
    }

    void Select(QComboBox* combo, const QString& text) {
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
    }

    // Selects the rate in the baud combo as a person would.
    void SelectRate(int baud) { Select(dlg->m_cbBaudRate, QString::number(baud)); }

    bool instant = false;
    CTempPortDir dir;
    CScriptedUi ui;
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<CManagerDlg> dlg;
};

} // namespace vireo::test
