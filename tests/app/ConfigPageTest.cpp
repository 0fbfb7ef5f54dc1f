// The Configuration page clicked as a person would, against the paced simulated module and
// one remote module behind it: reading and saving parameters, Export, the remote box and
// Import into the remote module.
#include "scan/ScanDlg.h"
#include "tests/app/SimFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <fstream>

namespace {

const std::string kRemoteEui = "00124B000A0B0C0D";

class ConfigPageTest : public vireo::test::SimFixture {
protected:
    void Connect() {
        vireo::sim::SimConfig config;
        config.remotes = {{"KD40", "v1.1.0", kRemoteEui, "Far node", "1", "1234"}};
        config.timing.scanDelayMs = 50;
        config.timing.unknownAddressMs = 300;
        Start(config);
        dlg->m_pOpenButton->click();
        ASSERT_EQ(1, dlg->m_bPortOpen);
        page->m_strLogDir = dir.Path();
    }

    template <class T = QPushButton> T* Control(int id) const { return page->Form().Get<T>(id); }
    QLineEdit* Edit() const { return Control<QLineEdit>(1011); }
    QComboBox* Choice() const { return Control<QComboBox>(1021); }
    QCheckBox* Remote() const { return Control<QCheckBox>(1027); }
    QLineEdit* Address() const { return Control<QLineEdit>(1026); }
    QString Label(int id) const { return Control<QLabel>(id)->text(); }
    bool HasItem(const QString& text) const {
        return !page->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).empty();
    }
    std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }

    // Saves the editor's value and returns what went to the module.
    std::string Save() {
        sim->ClearReceived();
        Control(1006)->click();
        return sim->ReceivedText();
    }

    // Once the scan dialog is up: search, choose the only remote node, apply.
    void PickTheRemoteInTheScanDialog() {
        auto* scan = qobject_cast<CScanDlg*>(QApplication::activeModalWidget());
        if (!scan) {
            QTimer::singleShot(10, [this] { PickTheRemoteInTheScanDialog(); });
            return;
        }
        scan->Form().Get<QPushButton>(1042)->click();
        if (scan->m_list->topLevelItemCount() == 1)
            scan->m_list->setCurrentItem(scan->m_list->topLevelItem(0));
        scan->Form().Get<QPushButton>(1044)->click();
    }
};

TEST_F(ConfigPageTest, ParametersAreReadWhenSelectedSavedAndExported) {
    Connect();
    sim->Local().Set("AT+PANID", "BEEF");
    sim->ClearReceived();
    SelectItem("PAN ID");
    EXPECT_EQ("AT+PANID\r\n", sim->ReceivedText());
    EXPECT_EQ("BEEF", Edit()->text());
    EXPECT_FALSE(Choice()->isEnabled());
    EXPECT_EQ("0001 ~ FFFE", Label(1013));
    Edit()->setText("1234");
    EXPECT_EQ("AT+PANID=1234\r\n", Save());

    SelectItem("Channel");
    Edit()->setText("99"); // outside 11 ~ 26: the module refuses it
    ui.Expect("ERROR: Could not save the configuration paramater.");
    Save();
    EXPECT_TRUE(Control(1006)->isEnabled()); // saving leaves the editor as it was

    sim->Local().Set("AT+JOINMODE", "M");
    SelectItem("Join Mode");
    EXPECT_FALSE(Edit()->isEnabled());
    EXPECT_EQ("Manual", Choice()->currentText());
    Choice()->setCurrentIndex(Choice()->findText("Disabled"));
    EXPECT_EQ("AT+JOINMODE=D\r\n", Save()); // by the value of the choice

    ASSERT_TRUE(sim->Local().Set("ATS03", "5", false)); // Sensitivity Boost: Off, On
    SelectItem("Sensitivity Boost");
    EXPECT_EQ(-1, Choice()->currentIndex());

    SelectItem("Product Name"); // read-only
    EXPECT_EQ("KA40", Edit()->text());
    EXPECT_FALSE(Control(1006)->isEnabled());
    SelectItem("Network Settings"); // a group: nothing to edit or save
    EXPECT_FALSE(Edit()->isEnabled());
    EXPECT_FALSE(Control(1006)->isEnabled());

    sim->ClearReceived();
    Control(1004)->click(); // Restore to Factory Default
    EXPECT_EQ("AT&f\r\n", sim->ReceivedText());

    sim->ClearReceived();
    Control(1002)->click(); // Export, cancelled in the file dialog
    EXPECT_TRUE(sim->ReceivedText().empty());

    sim->Local().Set("AT+PANID", "BEEF");
    ui.QueueSaveFile(Path("bench.zgb"));
    Control(1002)->click();
    ASSERT_EQ(2u, ui.FileDialogs().size());
    EXPECT_TRUE(ui.FileDialogs()[1].promptOverwrite);

    std::ifstream in(Path("bench.zgb"), std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(0u, text.find("[Firmware]\r\nVersion=KA40_v1.1.0.vmcon\r\n"));
    EXPECT_NE(std::string::npos, text.find("Command=AT+PANID=BEEF\r\n"));
}

TEST_F(ConfigPageTest, RemoteBoxWorksOnTheRemoteDeviceThroughTheLocalOne) {
    Connect();
    ui.Expect("ERROR: Invalid remote address");
    Remote()->click();
    EXPECT_FALSE(Remote()->isChecked());

    QTimer::singleShot(0, [this] { PickTheRemoteInTheScanDialog(); });
    Control(1042)->click();
    ASSERT_EQ(QString::fromStdString(kRemoteEui), Address()->text());

    // Typed in lower case: only the identification goes to the typed address.
    Address()->setText("00124b000a0b0c0d");
    sim->ClearReceived();
    Remote()->click();
    ASSERT_TRUE(Remote()->isChecked());
    EXPECT_EQ((std::vector<std::string>{"at+rc=00124b000a0b0c0d,at+productname",
                                        "at+rc=00124b000a0b0c0d,AT+LONGADDR",
                                        "at+rc=00124b000a0b0c0d,AT+VERSION"}),
              sim->ReceivedLines());
    EXPECT_EQ("KD40", Label(1028));
    EXPECT_EQ(QString::fromStdString(kRemoteEui), Label(1029));
    EXPECT_EQ("v1.1.0", Label(1030));
    EXPECT_FALSE(HasItem("Security Settings"));
    EXPECT_EQ("KD40_v1.1.0.vmcon", page->Data().m_strConstructFile);

    sim->Remote(0).Set("AT+PANID", "BEEF");
    sim->ClearReceived();
    SelectItem("PAN ID");
    EXPECT_EQ("AT+RC=" + kRemoteEui + ",AT+PANID\r\n", sim->ReceivedText());
    EXPECT_EQ("BEEF", Edit()->text());
    sim->ClearReceived();
    Control(1004)->click(); // Reboot
    EXPECT_EQ("AT+RC=" + kRemoteEui + ",ATZ\r\n", sim->ReceivedText());
    dlg->m_tabHost.TabBar()->setCurrentIndex(2); // remote mode survives a tab change
    dlg->m_tabHost.TabBar()->setCurrentIndex(0);
    EXPECT_EQ(1, dlg->m_bRemoteMode);

    std::ofstream(Path("far.zgb"), std::ios::binary)
        << "[Firmware]\r\nVersion=KD40_v1.1.0.vmcon\r\nNum_of_saves=1\r\n"
           "[0]\r\nName=Network Settings/PAN ID\r\nCommand=AT+PANID=4321\r\n\r\n";
    ui.QueueOpenFile(Path("far.zgb"));
    ui.Expect("1 parameter was written. Would you like to read it back from the device to "
              "check it?",
              vireo::MsgAnswer::Yes);
    ui.Expect("Read back 1 parameter: all as imported.");
    sim->ClearReceived();
    Control(1003)->click(); // Import, then the read-back through the same wrapper
    EXPECT_EQ((std::vector<std::string>{"AT+RC=" + kRemoteEui + ",AT+PANID=4321",
                                        "AT+RC=" + kRemoteEui + ",AT+PANID"}),
              sim->ReceivedLines());

    Remote()->click(); // back to the local device
    EXPECT_EQ(0, dlg->m_bRemoteMode);
    EXPECT_TRUE(HasItem("Security Settings"));

    Address()->setText("0000000000000BAD"); // nobody answers there
    ui.Expect("ERROR: The remote device does not respond.");
    Remote()->click();
    EXPECT_FALSE(Remote()->isChecked());
    EXPECT_EQ(0, dlg->m_bRemoteMode);
}

} // namespace
