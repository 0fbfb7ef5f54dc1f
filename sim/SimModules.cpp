// The modules of the simulated network: the local module and the remote ones as configured
// (or the default network), and their parameter stores built from the construct file of
// product and firmware version; a new firmware version keeps the values it can.
#include "sim/SimulatorImpl.h"

#include <algorithm>
#include <cstdio>

#include "platform/ProgramDirectory.h"
#include "sim/ConstructFile.h"

namespace vireo::sim {

std::vector<RemoteConfig> DefaultRemotes(int count) {
    struct Kind {
        const char* product;
        const char* version;
        const char* type;
    };
    static const Kind kKinds[] = {{"KA40", "v1.1.0", "1"},
                                  {"KD40", "v1.1.0", "1"},
                                  {"KA40", "v1.0.2", "2"},
                                  {"KM40X", "v1.0.2", "1"},
                                  {"KA40", "v1.1.0", "4"}};
    static const char* const kPlaces[] = {"Hall sensor", "Garden light",  "Boiler room",
                                          "Front door",  "Meter cabinet", "Attic fan",
                                          "Garage gate", "Kitchen plug"};
    std::vector<RemoteConfig> out;
    count = std::clamp(count, 0, 300);
    for (int i = 0; i < count; ++i) {
        const Kind& k = kKinds[i % 5];
        RemoteConfig r;
        r.product = k.product;
        r.version = k.version;
        r.nodeType = k.type;
        char buf[32];
        std::snprintf(buf, sizeof buf, "000D6F0000B1%04X", i + 1);
        r.eui = buf;
        std::snprintf(buf, sizeof buf, "%04X", 0x1000 + i * 7);
        r.shortAddress = buf;
        r.nodeName = std::string(kPlaces[i % 8]) + " " + std::to_string(i + 1);
        out.push_back(r);
    }
    return out;
}

std::shared_ptr<const std::vector<ParamDef>> Simulator::Impl::Defs(const std::string& product,
                                                                   const std::string& version) {
    std::string name = product + "_" + version + ".vmcon";
    auto it = defsCache.find(name);
    if (it != defsCache.end())
        return it->second;
    std::vector<ConstructEntry> entries;
    std::shared_ptr<const std::vector<ParamDef>> defs;
    if (ReadConstructFile(dataDir + "/" + name, &entries))
        defs = std::make_shared<const std::vector<ParamDef>>(BuildParamDefs(entries));
    defsCache[name] = defs;
    return defs;
}

void Simulator::Impl::LoadStore(Module& m) {
    m.store = ParamStore(Defs(m.product, m.version));
}

// New firmware version: the store follows the construct file of that version and keeps
// the values it can; without a construct file for it the old store stays.
void Simulator::Impl::ChangeVersion(Module& m, const std::string& version) {
    m.version = version;
    auto defs = Defs(m.product, version);
    if (!defs)
        return;
    ParamStore fresh(defs);
    fresh.CarryOver(m.store);
    m.store = std::move(fresh);
}

Module* Simulator::Impl::Find(int index) {
    if (index < 0)
        return &local;
    if (static_cast<std::size_t>(index) < remotes.size())
        return &remotes[static_cast<std::size_t>(index)];
    return nullptr;
}

int Simulator::Impl::FindRemote(std::string_view eui) const {
    std::string up = ToUpper(Trim(eui));
    for (std::size_t i = 0; i < remotes.size(); ++i)
        if (ToUpper(remotes[i].eui) == up)
            return static_cast<int>(i);
    return -1;
}

// The local module and the network as configured, with the parameter stores of their
// construct files.
bool Simulator::Impl::BuildModules(std::string* why) {
    const SimConfig& c = cfg;
    dataDir = c.dataDir.empty() ? vireo::GetProgramDirectory() : c.dataDir;
    while (dataDir.size() > 1 && dataDir.back() == '/')
        dataDir.pop_back();
    defsCache.clear();
    local = Module{};
    local.product = c.product;
    local.version = c.version;
    local.eui = ToUpper(c.eui);
    local.nodeName = local.defaultNodeName = c.nodeName;
    local.nodeType = c.nodeType;
    local.flowControl = local.defaultFlowControl = c.flowControl;
    local.damaged = c.damaged;
    LoadStore(local);
    remotes.clear();
    auto rcs = c.remotes.empty() ? DefaultRemotes(c.remoteCount) : c.remotes;
    auto defaults = DefaultRemotes(static_cast<int>(std::min<std::size_t>(rcs.size(), 300)));
    for (std::size_t i = 0; i < rcs.size(); ++i) {
        const RemoteConfig& rc = rcs[i];
        Module m;
        m.product = rc.product;
        m.version = rc.version;
        m.eui = ToUpper(rc.eui.empty() && i < defaults.size() ? defaults[i].eui : rc.eui);
        if (!IsHex16(m.eui))
            return Refuse(why, "remote " + std::to_string(i) +
                                   ": the EUI address must be 16 hexadecimal digits");
        m.nodeName = m.defaultNodeName =
            rc.nodeName.empty() && i < defaults.size() ? defaults[i].nodeName : rc.nodeName;
        m.nodeType = rc.nodeType;
        m.shortAddress = rc.shortAddress.empty() && i < defaults.size() ? defaults[i].shortAddress
                                                                        : rc.shortAddress;
        LoadStore(m);
        remotes.push_back(std::move(m));
    }
    return true;
}

} // namespace vireo::sim
