// The AT command set: the identity and parameter commands that local and remote modules share,
// the commands of the local module, and what a remote module answers to a forwarded command.
#include "sim/SimulatorImpl.h"

namespace vireo::sim {

// Identity and parameter commands shared by local and remote modules. nullopt when the
// command is neither.
std::optional<std::string> Simulator::Impl::ModuleCommand(Module& m, const std::string& text) {
    auto eq = text.find('=');
    std::string name = ToUpper(Trim(text.substr(0, eq)));
    bool write = eq != std::string::npos;
    std::string value = write ? text.substr(eq + 1) : std::string{};
    while (!value.empty() && value.back() == ' ')
        value.pop_back();

    std::string* identity = nullptr;
    if (name == "AT+PRODUCTNAME")
        identity = &m.product;
    else if (name == "AT+LONGADDR")
        identity = &m.eui;
    else if (name == "AT+VERSION")
        identity = &m.version;
    else if (name == "AT+NODETYPE")
        identity = &m.nodeType;
    if (identity)
        return write ? kError : Reply(*identity);
    if (name == "AT+NODENAME") {
        if (!write)
            return Reply(m.nodeName);
        const ParamDef* d = m.store.Find(name);
        bool ok = d ? IsValidValue(*d, value) : IsValidValue(ParamDef{}, value);
        if (!ok)
            return kError;
        m.nodeName = value;
        m.store.Write(name, value, false);
        return kOk;
    }
    if (name == "AT+UF") {
        if (!write)
            return Reply(std::to_string(m.flowControl));
        if (value != "0" && value != "1" && value != "2")
            return kError;
        m.flowControl = value[0] - '0';
        m.store.Write(name, value, false);
        return kOk;
    }
    if (!m.store.Find(name))
        return std::nullopt;
    if (!write)
        return Reply(*m.store.Read(name));
    // A write the module takes without keeping: refused values are still refused.
    if (faults.ignoredWrites.count(name))
        return IsValidValue(*m.store.Find(name), value) ? kOk : kError;
    return m.store.Write(name, value) == ParamStore::WriteResult::Ok ? kOk : kError;
}

void Simulator::Impl::RestoreDefaults(Module& m) {
    m.store.RestoreDefaults();
    m.nodeName = m.defaultNodeName;
    m.flowControl = m.defaultFlowControl;
}

std::string Simulator::Impl::ExecuteRemote(Module& m, const std::string& cmd) {
    std::string up = ToUpper(Trim(cmd));
    if (up == "AT" || up == "ATZ" || up == "ATE0" || up == "ATE1" || up == "ATR1")
        return kOk;
    if (up == "AT&F") {
        RestoreDefaults(m);
        return kOk;
    }
    if (auto r = ModuleCommand(m, Trim(cmd)))
        return *r;
    return kError;
}

void Simulator::Impl::Execute(const std::string& text, bool bad) {
    if (commands.size() >= 100000)
        commands.erase(commands.begin(), commands.begin() + 50000);
    commands.push_back(text);
    if (bad) {
        SendText(kError);
        return;
    }
    std::string up = ToUpper(Trim(text));
    if (up == "AT" || up == "ATR1")
        return SendText(kOk);
    if (up == "ATE0" || up == "ATE1") {
        echo = up == "ATE1";
        return SendText(kOk);
    }
    if (up == "ATZ") {
        SendText(kOk);
        return Restart();
    }
    if (up == "AT&F") {
        RestoreDefaults(local);
        return SendText(kOk);
    }
    if (up == "ATO") {
        SendText(kOk);
        mode = Mode::Data;
        return;
    }
    if (up == "AT+DS") {
        busy = true;
        After(cfg.timing.scanDelayMs, [this] {
            SendText(ScanReply());
            Done();
        });
        return;
    }
    if (up == "AT+BOOTLOAD") {
        SendText("\r\nENTER bootloader\r\n");
        EnterBootloaderMenu();
        return;
    }
    if (up.rfind("AT+BOOTLOAD=", 0) == 0)
        return RemoteBootload(Trim(text).substr(12));
    if (up.rfind("AT+RC=", 0) == 0)
        return RemoteCommand(Trim(text).substr(6));
    if (auto r = ModuleCommand(local, Trim(text)))
        return SendText(*r);
    SendText(kError);
}

} // namespace vireo::sim
