// The Configuration page's remote box, Export and Import, clicked as a person would, against
// the simulated module and one remote module behind it, paced at 9600 baud.
#include "config/ConfigPage.h"
#include "platform/ProfileFile.h"
#include "scan/ScanDlg.h"
#include "tests/app/SimFixture.h"
#include "tests/support/QtPrinters.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>

namespace {

const std::string kRemoteEui = "00124B000A0B0C0D";

class ConfigTransferPageTest : public vireo::test::SimFixture {
protected:
    void Connect() {
        vireo::sim::SimConfig config;
        config.remotes = {{"KD40", "v1.1.0", kRemoteEui, "Far node", "1", "1234"}};
        config.timing.scanDelayMs = 50;
        config.timing.unknownAddressMs = 300;
        Start(config);
        dlg->m_pOpenButton->click();
        ASSERT_EQ(1, dlg->m_bPortOpen);
        page = dlg->m_tabHost.ConfigPage();
        page->m_strLogDir = dir.Path();
    }

    QCheckBox* Remote() const { return page->Form().Get<QCheckBox>(1027); }
    QLineEdit* Address() const { return page->Form().Get<QLineEdit>(1026); }
    QPushButton* Button(int id) const { return page->Form().Get<QPushButton>(id); }
    QString Label(int id) const { return page->Form().Get<QLabel>(id)->text(); }
    bool HasItem(const QString& text) const {
        return !page->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).empty();
    }
    void SelectItem(const QString& text) {
        const auto items = page->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(items.empty()) << text.toStdString();
        page->Tree()->setCurrentItem(items.back());
    }
    std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }

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

    CConfigPage* page = nullptr;
};

TEST_F(ConfigTransferPageTest, RemoteBoxSwitchesThePageToTheRemoteDeviceAndBack) {
    Connect();
    ui.Expect("ERROR: Invalid remote address");
    Remote()->click();
    EXPECT_FALSE(Remote()->isChecked());

    QTimer::singleShot(0, [this] { PickTheRemoteInTheScanDialog(); });
    Button(1042)->click();
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
    EXPECT_EQ(
        "KD40",
        QAccessible::queryAccessibleInterface(page->Form().Control(1028))->text(QAccessible::Name));
    EXPECT_EQ("Reboot", Button(1004)->text());
    EXPECT_FALSE(Address()->isEnabled());
    EXPECT_TRUE(Button(1042)->isEnabled());
    EXPECT_EQ(1, dlg->m_bRemoteMode);
    EXPECT_FALSE(HasItem("Security Settings"));
    EXPECT_EQ("KD40_v1.1.0.vmcon", page->Data().m_strConstructFile);

    sim->Remote(0).Set("AT+PANID", "BEEF");
    sim->ClearReceived();
    SelectItem("PAN ID");
    EXPECT_EQ("AT+RC=" + kRemoteEui + ",AT+PANID\r\n", sim->ReceivedText());
    EXPECT_EQ("BEEF", page->Form().Get<QLineEdit>(1011)->text());
    sim->ClearReceived();
    Button(1004)->click(); // Reboot
    EXPECT_EQ("AT+RC=" + kRemoteEui + ",ATZ\r\n", sim->ReceivedText());

    dlg->m_tabHost.TabBar()->setCurrentIndex(2); // remote mode survives a tab change
    dlg->m_tabHost.TabBar()->setCurrentIndex(0);
    EXPECT_EQ(1, dlg->m_bRemoteMode);

    Remote()->click(); // back to the local device
    EXPECT_EQ(0, dlg->m_bRemoteMode);
    EXPECT_TRUE(HasItem("Security Settings"));
    EXPECT_EQ("KA40_v1.1.0.vmcon", page->Data().m_strConstructFile);
    EXPECT_EQ("Restore to Factory Default", Button(1004)->text());
    EXPECT_TRUE(Address()->isEnabled());
    EXPECT_EQ("", Label(1028));
    EXPECT_EQ("", Label(1029));

    Address()->setText("0000000000000BAD"); // nobody answers there
    ui.Expect("ERROR: The remote device does not respond.");
    Remote()->click();
    EXPECT_FALSE(Remote()->isChecked());
    EXPECT_EQ(0, dlg->m_bRemoteMode);
    EXPECT_TRUE(Address()->isEnabled());
}

TEST_F(ConfigTransferPageTest, ExportSavesEveryWritableParameterOfTheModule) {
    Connect();
    sim->ClearReceived();
    Button(1002)->click(); // Cancel in the file dialog
    EXPECT_TRUE(sim->ReceivedText().empty());

    sim->Local().Set("AT+PANID", "BEEF");
    ui.QueueSaveFile(Path("bench.zgb"));
    Button(1002)->click();
    const std::vector<vireo::FileDialogOptions> dialogs = ui.FileDialogs();
    ASSERT_EQ(2u, dialogs.size());
    EXPECT_EQ("zgb Files(*.zgb)|*.zgb|All Files(*.*)|*.*|", dialogs[1].filter);
    EXPECT_EQ("*.zgb", dialogs[1].initialName);
    EXPECT_EQ("*.zgb", dialogs[1].defaultExt);
    EXPECT_TRUE(dialogs[1].promptOverwrite);
    EXPECT_EQ(0, ui.WaitCursorDepth());
    EXPECT_TRUE(ui.OpenedWithShell().empty()); // nothing failed, no log

    vireo::CProfileFile file;
    ASSERT_TRUE(file.Load(Path("bench.zgb")));
    EXPECT_EQ("KA40_v1.1.0.vmcon", file.GetString("Firmware", "Version").value_or(""));
    const CConstructData& data = page->Data();
    int section = 0;
    for (int i = 0; i < data.m_nParams; ++i) {
        if (data.m_params[i].type == PT_GET)
            continue;
        const std::string s = std::to_string(section++);
        EXPECT_EQ(std::string(data.m_params[i].group) + "/" + data.m_params[i].name,
                  file.GetString(s, "Name").value_or(""));
        if (std::string(data.m_params[i].name) == "PAN ID") {
            EXPECT_EQ("AT+PANID=BEEF", file.GetString(s, "Command").value_or(""));
        }
    }
    EXPECT_EQ(std::to_string(section), file.GetString("Firmware", "Num_of_saves").value_or(""));
}

TEST_F(ConfigTransferPageTest, ImportInRemoteModePlaysTheFileIntoTheRemoteDevice) {
    Connect();
    Address()->setText(QString::fromStdString(kRemoteEui));
    Remote()->click();
    ASSERT_EQ(1, dlg->m_bRemoteMode);
    std::ofstream(Path("far.zgb"), std::ios::binary)
        << "[Firmware]\r\nVersion=KD40_v1.1.0.vmcon\r\nNum_of_saves=2\r\n"
           "[0]\r\nName=Network Settings/PAN ID\r\nCommand=AT+PANID=4321\r\n\r\n"
           "[1]\r\nName=Network Settings/Channel\r\nCommand=AT+CHANNEL=99\r\n\r\n";
    ui.QueueOpenFile(Path("far.zgb"));
    ui.Expect("1 parameter was written. Would you like to read it back from the device to "
              "check it?",
              vireo::MsgAnswer::Yes);
    ui.Expect("Read back 1 parameter: all as imported.");
    sim->ClearReceived();
    Button(1003)->click();
    EXPECT_EQ((std::vector<std::string>{"AT+RC=" + kRemoteEui + ",AT+PANID=4321",
                                        "AT+RC=" + kRemoteEui + ",AT+CHANNEL=99",
                                        "AT+RC=" + kRemoteEui + ",AT+PANID"}),
              sim->ReceivedLines());
    EXPECT_EQ("4321", sim->Remote(0).Get("AT+PANID").value_or(""));
    EXPECT_EQ("1A2B", sim->Local().Get("AT+PANID").value_or(""));
    ASSERT_EQ(std::vector<std::string>{Path("ImportErrorLog.TXT")}, ui.OpenedWithShell());
    std::ifstream log(Path("ImportErrorLog.TXT"), std::ios::binary);
    EXPECT_EQ("Network Settings/Channel\r\nAT+CHANNEL=99\r\n\r\n",
              std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>()));
}

} // namespace
