// Export and import of every writable parameter of each sample construct file, on the local
// module and on a remote module one radio hop away: after the module has been reset to its
// defaults, importing the exported file gives back every value it held.
#include "config/ConfigEditor.h"
#include "config/ConfigImport.h"
#include "config/RemoteDevice.h"
#include "tests/config/ConfigTransferFixture.h"

#include <cstring>
#include <map>

namespace vireo::test {
namespace {

struct Sample {
    std::string product, version;
    bool remote;
};

// Gives every writable parameter a value other than the one it has, trying the construct
// file's own values and bounds first, then a few plain texts; returns the values given.
std::map<std::string, std::string> ChangeEveryValue(sim::ModuleView module,
                                                    const CConstructData& data) {
    std::map<std::string, std::string> set;
    for (int i = 0; i < data.m_nParams; ++i) {
        const ConfigParam& p = data.m_params[i];
        if (p.type == PT_GET)
            continue;
        const std::string command = std::string(p.command).substr(0, std::strlen(p.command) - 2);
        const std::string before = module.Get(command).value_or("");
        std::vector<std::string> candidates;
        for (const std::string& listed : SplitList(p.valueList, 100))
            candidates.insert(candidates.begin(), listed);
        candidates.insert(candidates.end(),
                          {"1", p.rangeMax, p.rangeMin, "2", "5", "A5", "Round trip", "0"});
        for (const std::string& value : candidates) {
            if (!value.empty() && value != before && module.Set(command, value)) {
                set[command] = *module.Get(command);
                break;
            }
        }
        EXPECT_TRUE(set.count(command)) << "no other value for " << command;
    }
    return set;
}

class ConfigRoundTrip : public ConfigTransferFixture,
                        public ::testing::WithParamInterface<Sample> {};

TEST_P(ConfigRoundTrip, ImportGivesBackEveryExportedValue) {
    const Sample& s = GetParam();
    sim::SimConfig config;
    config.remotes = {{s.product, s.version, "00124B000A0B0C0D", "Far node", "1", "1234"}};
    if (!s.remote) {
        config.product = s.product;
        config.version = s.version;
    }
    Connect(config);
    sim::ModuleView module = s.remote ? sim->Remote(0) : sim->Local();
    const std::string constructFile = ConstructFileName(s.product, s.version);
    std::string eui;
    if (s.remote) {
        const RemoteIdentity identity = IdentifyRemoteDevice(core, "00124b000a0b0c0d");
        ASSERT_EQ(constructFile, ConstructFileName(identity.productName, identity.firmwareVersion));
        eui = identity.euiAddress;
    }
    const CConfigTarget target = s.remote ? CConfigTarget(core, eui) : CConfigTarget(core);
    const auto data = Load(constructFile, s.remote);
    const std::map<std::string, std::string> expected = ChangeEveryValue(module, *data);

    int reported = 0;
    const ConfigExportResult exported = ExportConfiguration(
        target, *data, Path("all.zgb"), [&](int done, int) { EXPECT_EQ(++reported, done); });
    EXPECT_EQ(0, exported.failed) << exported.log;

    ASSERT_EQ(1, target.Write("AT&F\r\n", 3)); // the module forgets everything
    ASSERT_NE(expected.begin()->second, module.Get(expected.begin()->first).value_or(""));
    CProfileFile file;
    ASSERT_EQ(ConfigFileVerdict::Matches, LoadConfigFile(Path("all.zgb"), constructFile, file));
    const ConfigImportResult imported = ImportConfiguration(target, file);
    EXPECT_EQ(exported.saved, imported.sections);
    EXPECT_EQ(imported.sections, imported.acknowledged) << imported.log;
    for (const auto& [command, value] : expected)
        EXPECT_EQ(value, module.Get(command).value_or("<none>")) << command;
    if (s.remote) {
        EXPECT_EQ("Bench unit", sim->Local().NodeName()); // the module in between kept its own
    }
}

INSTANTIATE_TEST_SUITE_P(SampleConstructFiles, ConfigRoundTrip,
                         ::testing::Values(Sample{"KA40", "v1.1.0", false},
                                           Sample{"KD40", "v1.1.0", false},
                                           Sample{"KM40X", "v1.1.0", false},
                                           Sample{"KM40X", "v1.0.2", true}),
                         [](const auto& sample) {
                             const Sample& s = sample.param;
                             return s.product + "_" + s.version.substr(1, 1) +
                                    s.version.substr(3, 1) + (s.remote ? "_remote" : "_local");
                         });

} // namespace
} // namespace vireo::test
