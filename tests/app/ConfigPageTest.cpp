#include "config/ConfigPage.h"
#include "tests/app/SimFixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <fstream>

namespace {

class ConfigPageTest : public vireo::test::SimFixture {
protected:
    void Connect(vireo::sim::SimConfig config = {}) {
        Start(config);
        Select(dlg->m_cbBaudRate, "9600");
        dlg->m_pOpenButton->click();
        ASSERT_EQ(1, dlg->m_bPortOpen);
        page = dlg->m_tabHost.ConfigPage();
    }

    void SelectItem(const QString& text) {
        const auto items = page->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(items.empty()) << text.toStdString();
        page->Tree()->setCurrentItem(items.back());
    }

    QLineEdit* Edit() const { return page->Form().Get<QLineEdit>(1011); }
    QComboBox* Choice() const { return page->Form().Get<QComboBox>(1021); }
    QPushButton* Save() const { return page->Form().Get<QPushButton>(1006); }
    QString Label(int id) const { return page->Form().Get<QLabel>(id)->text(); }

    CConfigPage* page = nullptr;
};

TEST_F(ConfigPageTest, SelectingAFreeTextParameterReadsItsValue) {
    Connect();
    sim->Local().Set("AT+PANID", "BEEF");
    sim->ClearReceived();
    SelectItem("PAN ID");
    EXPECT_EQ("AT+PANID\r\n", sim->ReceivedText());
    EXPECT_EQ("BEEF", Edit()->text());
    EXPECT_TRUE(Edit()->isEnabled());
    EXPECT_FALSE(Choice()->isEnabled());
    EXPECT_TRUE(Save()->isEnabled());
    EXPECT_EQ("PAN ID", page->Form().Get<QGroupBox>(1005)->title());
    EXPECT_EQ("Range: ", Label(1015));
    EXPECT_EQ("0001 ~ FFFE", Label(1013));
    EXPECT_TRUE(Label(1012).startsWith("Personal area network identifier"));
}

TEST_F(ConfigPageTest, SavingWritesTheValueIntoTheModule) {
    Connect();
    SelectItem("PAN ID");
    Edit()->setText("1234");
    sim->ClearReceived();
    Save()->click();
    EXPECT_EQ("AT+PANID=1234\r\n", sim->ReceivedText());
    EXPECT_EQ("1234", sim->Local().Get("AT+PANID").value_or(""));
}

TEST_F(ConfigPageTest, RejectedValueShowsTheSaveError) {
    Connect();
    SelectItem("Channel");
    Edit()->setText("99"); // outside 11 ~ 26: the module refuses it
    ui.Expect("ERROR: Could not save the configuration paramater.");
    Save()->click();
    EXPECT_NE("99", sim->Local().Get("AT+CHANNEL").value_or(""));
    EXPECT_TRUE(Save()->isEnabled()); // saving leaves the editor as it was
}

TEST_F(ConfigPageTest, ChoiceParameterSelectsTheEntryOfItsValueAndSavesByValue) {
    Connect();
    sim->Local().Set("AT+JOINMODE", "M");
    SelectItem("Join Mode");
    EXPECT_TRUE(Choice()->isEnabled());
    EXPECT_FALSE(Edit()->isEnabled());
    ASSERT_EQ(3, Choice()->count());
    EXPECT_EQ("Manual", Choice()->currentText());
    Choice()->setCurrentIndex(Choice()->findText("Disabled"));
    sim->ClearReceived();
    Save()->click();
    EXPECT_EQ("AT+JOINMODE=D\r\n", sim->ReceivedText());
    EXPECT_EQ("D", sim->Local().Get("AT+JOINMODE").value_or(""));
}

TEST_F(ConfigPageTest, ValueOutsideTheChoicesLeavesTheBoxWithoutSelection) {
    Connect();
    ASSERT_TRUE(sim->Local().Set("ATS03", "5", false)); // Sensitivity Boost: Off, On
    SelectItem("Sensitivity Boost");
    ASSERT_EQ(2, Choice()->count());
    EXPECT_EQ(-1, Choice()->currentIndex());
    EXPECT_EQ("", Choice()->currentText());
}

TEST_F(ConfigPageTest, ReloadAndDisconnectEmptyTheEditorAndDisableSave) {
    Connect();
    SelectItem("PAN ID");
    ASSERT_TRUE(Save()->isEnabled());
    dlg->Form().Get<QPushButton>(1007)->click(); // Reload
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_FALSE(Save()->isEnabled());
    EXPECT_FALSE(Edit()->isEnabled());
    EXPECT_EQ("", Edit()->text());
    SelectItem("Join Mode");
    ASSERT_TRUE(Choice()->isEnabled());
    dlg->m_pOpenButton->click(); // disconnect
    EXPECT_FALSE(Save()->isEnabled());
    EXPECT_FALSE(Choice()->isEnabled());
    EXPECT_EQ(0, Choice()->count());
    EXPECT_EQ(-1, page->m_nSel);
}

TEST_F(ConfigPageTest, ReadOnlyParameterShowsItsValueWithSaveDisabled) {
    Connect();
    SelectItem("Product Name");
    EXPECT_EQ("KA40", Edit()->text());
    EXPECT_TRUE(Edit()->isEnabled());
    EXPECT_FALSE(Save()->isEnabled());
}

TEST_F(ConfigPageTest, GroupItemShowsItsNameAndKeepsTheRangeLine) {
    Connect();
    SelectItem("PAN ID");
    SelectItem("Network Settings");
    EXPECT_EQ("Network Settings", page->Form().Get<QGroupBox>(1005)->title());
    EXPECT_EQ("", Label(1012));
    EXPECT_EQ("0001 ~ FFFE", Label(1013));
    EXPECT_FALSE(Save()->isEnabled());
    EXPECT_FALSE(Edit()->isEnabled());
    EXPECT_EQ("", Edit()->text());
}

TEST_F(ConfigPageTest, ReadFailureDisablesTheEditorAndSaysSo) {
    Connect();
    SelectItem("PAN ID");
    sim->HangUp();
    dlg->m_sleep = [](int) {};
    ui.Expect("ERROR: The device does not respond. \r\nPlease make sure that the device is "
              "conncted correctly and turned on.");
    SelectItem("Channel");
    EXPECT_FALSE(Save()->isEnabled());
    EXPECT_FALSE(Edit()->isEnabled());
}

TEST_F(ConfigPageTest, RestoreToFactoryDefaultSendsOneCommand) {
    Connect();
    sim->Local().Set("AT+PANID", "BEEF");
    sim->ClearReceived();
    page->Form().Get<QPushButton>(1004)->click();
    EXPECT_EQ("AT&f\r\n", sim->ReceivedText());
    EXPECT_EQ("1A2B", sim->Local().Get("AT+PANID").value_or(""));
}

TEST_F(ConfigPageTest, ValueListedTwiceSelectsTheLaterChoice) {
    const std::string dataDir = dir.Path() + "/";
    std::ofstream(dataDir + "DUP_v1.0.0.vmcon")
        << "[Main/Mode]10;\nCombo_list= Slow:Fast:Turbo;\nValue_list= 1:2:2;\n"
           "description=<Speed. Default: 2>;\ncommand= AT+MODE;\n";
    vireo::sim::SimConfig config;
    config.product = "DUP";
    config.version = "v1.0.0";
    config.dataDir = dataDir;
    Start(config);
    dlg->m_tabHost.ConfigPage()->m_strConstructDir = dataDir;
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    page = dlg->m_tabHost.ConfigPage();
    SelectItem("Mode");
    EXPECT_EQ("Turbo", Choice()->currentText());
}

} // namespace
