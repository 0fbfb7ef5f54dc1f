// The manager against a module that answers at the line rate, byte after byte: the connect
// sequence and the parameter reads must hold however the replies are split across polls.
#include "config/ConfigEditor.h"
#include "config/ConfigPage.h"
#include "tests/app/SimFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

class PacedLineTest : public vireo::test::SimFixture {
protected:
    void StartAt(int baud, vireo::sim::SimConfig config = {}) {
        config.baudRate = baud;
        Start(config);
        SelectRate(baud);
        page = dlg->m_tabHost.ConfigPage();
    }

    void ExpectIdentityOfTheModule(const std::string& nodeName = "Bench unit") {
        EXPECT_EQ(1, dlg->m_bPortOpen);
        EXPECT_EQ("KA40", Info(1022));
        EXPECT_EQ("000D6F0000A1B2C3", Info(1024));
        EXPECT_EQ(nodeName, Info(1023));
        EXPECT_EQ("v1.1.0", Info(1025));
    }

    // Selects every parameter of the tree and checks that the editor shows the module's value.
    void ReadEveryParameter() {
        QTreeWidget* tree = page->Tree();
        int read = 0;
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            for (int k = 0; k < tree->topLevelItem(g)->childCount(); ++k) {
                tree->setCurrentItem(tree->topLevelItem(g)->child(k));
                ExpectShownValueOf(page->Data().m_params[page->m_nSel]);
                ++read;
            }
        }
        EXPECT_EQ(page->Data().m_nParams, read);
    }

    void ExpectShownValueOf(const ConfigParam& p) {
        std::string command = p.command;
        command.resize(command.find('\r'));
        const std::string held = sim->Local().Get(command).value_or("(none)");
        if (p.choiceList[0] != '\0') {
            auto* choice = page->Form().Get<QComboBox>(1021);
            EXPECT_EQ(held, ChoiceValueToSave(p, choice->currentText().toStdString())) << command;
        } else {
            EXPECT_EQ(held, page->Form().Get<QLineEdit>(1011)->text().toStdString()) << command;
        }
    }

    std::string Info(int id) const { return dlg->Form().Get<QLabel>(id)->text().toStdString(); }

    CConfigPage* page = nullptr;
};

class PacedRateTest : public PacedLineTest, public ::testing::WithParamInterface<int> {};

TEST_P(PacedRateTest, ConnectSendsTheExactCommandOrderAndReadsTheIdentity) {
    StartAt(GetParam());
    dlg->m_pOpenButton->click();
    ExpectIdentityOfTheModule();
    EXPECT_EQ("\r\nATE0\r\nATR1\r\n\r\nATE0\r\nAT+NODETYPE\r\nAT+PRODUCTNAME\r\nAT+LONGADDR\r\n"
              "AT+NODENAME\r\nAT+VERSION\r\n\r\nATE0\r\nAT+UF\r\n",
              sim->ReceivedText());
    EXPECT_EQ("Close", dlg->m_pOpenButton->text());
    EXPECT_TRUE(dlg->Form().Control(1006)->isEnabled()); // Reboot
    EXPECT_TRUE(dlg->Form().Control(1007)->isEnabled()); // Reload
    EXPECT_EQ(0, dlg->m_bSleepyDevice);
    // The construct file of the product and version fills the tree.
    EXPECT_EQ("Device Information", page->Tree()->topLevelItem(0)->text(0));
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_P(PacedRateTest, EveryParameterReadsAsTheModuleHoldsIt) {
    StartAt(GetParam());
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    ReadEveryParameter();
    EXPECT_TRUE(ui.Shown().empty());
}

INSTANTIATE_TEST_SUITE_P(LineRates, PacedRateTest, ::testing::Values(9600, 115200),
                         [](const auto& rate) { return "Baud" + std::to_string(rate.param); });

TEST_F(PacedLineTest, TwentyConnectsInARowEachReadEveryParameter) {
    StartAt(9600);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("connect " + std::to_string(round + 1));
        dlg->m_pOpenButton->click();
        ExpectIdentityOfTheModule();
        ReadEveryParameter();
        dlg->m_pOpenButton->click();
        ASSERT_EQ(0, dlg->m_bPortOpen);
    }
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(PacedLineTest, RepliesDeliveredByteByByteWithGapsAreReadWhole) {
    vireo::sim::SimConfig config;
    // Each byte on its own, longer apart than a poll: every reply spans many polls, and its
    // last word waits a poll or more for its line end.
    config.timing.byteGapMs = 15;
    config.nodeName = "OKAY BOOK";
    StartAt(9600, config);
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    ExpectIdentityOfTheModule("OKAY BOOK");
    for (const char* name : {"PAN ID", "Join Mode", "Network Name"}) {
        const auto items = page->Tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(items.empty()) << name;
        page->Tree()->setCurrentItem(items.front());
        ExpectShownValueOf(page->Data().m_params[page->m_nSel]);
    }
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(PacedLineTest, NodeNamesHoldingReplyWordsAreReadWhole) {
    vireo::sim::SimConfig config;
    config.nodeName = "BOOK 3 CENTER";
    StartAt(9600, config);
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("BOOK 3 CENTER", Info(1023));
    EXPECT_EQ("v1.1.0", Info(1025)); // the query after it is not disturbed
    EXPECT_TRUE(ui.Shown().empty());
}

} // namespace
