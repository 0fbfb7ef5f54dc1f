// The radio network behind the local module: "AT+RC=" runs a command on a remote module after
// the radio delay, "at+ds" lists the network, "AT+BOOTLOAD=1,<EUI>" relays an XMODEM upload to
// a remote module and "AT+BOOTLOAD=2,<EUI>" clones the local firmware to one.
#include "sim/SimulatorImpl.h"

#include <algorithm>

#include "sim/FirmwareImage.h"

namespace vireo::sim {

namespace {

std::string Pad(std::string s, std::size_t width) {
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}

std::string NodeTypeText(const std::string& type) {
    if (type == "0")
        return "COO";
    if (type == "1")
        return "FFD";
    if (type == "2")
        return "RFD";
    if (type == "3")
        return "MED";
    if (type == "4")
        return "SED";
    return "UNK";
}

bool IsEndDevice(const std::string& type) {
    return type == "2" || type == "3" || type == "4";
}

} // namespace

std::string Simulator::Impl::ScanReply() const {
    std::string r = "\r\nNetwork nodes, " + std::to_string(remotes.size() + 1) + " found\r\n";
    auto node = [](const std::string& type, const Module& m, const std::string& shortAddr) {
        return Pad(type, 5) + "|" + Pad(m.eui, 17) + "|" + Pad(shortAddr, 5) + "|" +
               Pad(m.version, 8) + "|" + Pad(m.product, 6) + "|" + m.nodeName + "\r\n";
    };
    r += node("*" + NodeTypeText(local.nodeType), local, "0000");
    for (const auto& m : remotes)
        if (IsEndDevice(m.nodeType))
            r += Pad(m.nodeType == "4" ? "CLD" : "CHD", 5) + "|" + Pad(m.eui, 17) + "|" +
                 m.shortAddress + "\r\n";
    for (const auto& m : remotes)
        r += node(NodeTypeText(m.nodeType), m, m.shortAddress);
    r += "\r\nOK\r\n";
    return r;
}

// Nobody answers an unknown address: the local module gives up after a while.
void Simulator::Impl::AnswerUnknownAddress() {
    After(cfg.timing.unknownAddressMs, [this] {
        SendText(kError);
        Done();
    });
}

// "AT+RC=<address>,<command>"
void Simulator::Impl::RemoteCommand(const std::string& args) {
    auto comma = args.find(',');
    if (comma == std::string::npos)
        return SendText(kError);
    int idx = FindRemote(args.substr(0, comma));
    std::string cmd = args.substr(comma + 1);
    busy = true;
    if (idx < 0)
        return AnswerUnknownAddress();
    After(2 * cfg.timing.radioDelayMs, [this, idx, cmd] {
        SendText(ExecuteRemote(remotes[static_cast<std::size_t>(idx)], cmd));
        Done();
    });
}

// "AT+BOOTLOAD=1,<address>" (relayed upload) and "AT+BOOTLOAD=2,<address>" (clone).
void Simulator::Impl::RemoteBootload(const std::string& args) {
    auto comma = args.find(',');
    std::string kind = Trim(args.substr(0, comma));
    if (comma == std::string::npos || (kind != "1" && kind != "2"))
        return SendText(kError);
    int idx = FindRemote(args.substr(comma + 1));
    busy = true;
    if (idx < 0)
        return AnswerUnknownAddress();
    if (faults.refusedRemoteBootloads > 0) {
        --faults.refusedRemoteBootloads;
        return AnswerUnknownAddress();
    }
    After(cfg.timing.radioDelayMs, [this, idx, kind] {
        Module& r = remotes[static_cast<std::size_t>(idx)];
        if (kind == "1") {
            SendText("\r\nStart remote upload to " + r.eui + "\r\n");
            StartReceiver(idx);
            return;
        }
        // Cloning needs a remote of the same product, and a local product that can
        // clone at all (the KM40X cannot).
        if (r.product != local.product || local.product == "KM40X") {
            SendText(kError);
            Done();
            return;
        }
        SendText("\r\nStart cloning to " + r.eui + "\r\n");
        CloneStep(idx, 1);
    });
}

void Simulator::Impl::CloneStep(int idx, int step) {
    After(cfg.timing.cloneStepMs, [this, idx, step] {
        int steps = std::max(1, cfg.timing.cloneSteps);
        if (step < steps) {
            SendText("\r\nCloning " + std::to_string(step * 100 / steps) + "%\r\n");
            CloneStep(idx, step + 1);
            return;
        }
        Module& r = remotes[static_cast<std::size_t>(idx)];
        ChangeVersion(r, local.version);
        r.damaged = false;
        r.lastImage = local.lastImage;
        ++completed;
        if (!faults.noCompletionText)
            SendText("\r\nClone complete\r\n");
        Done();
    });
}

// After an upload relayed to a remote module: the remote takes a valid image for its
// product, and the local module is back in command mode.
void Simulator::Impl::EndRelayedTransfer(int target, bool complete, const std::string& image,
                                         TimePoint at) {
    mode = Mode::Command;
    Module& r = remotes[static_cast<std::size_t>(target)];
    std::string text;
    if (complete) {
        r.lastImage = image;
        std::string version;
        if (IsValidImageFor(image, r.product, &version)) {
            ++completed;
            ChangeVersion(r, version);
            r.damaged = false;
            if (!faults.noCompletionText)
                text = "\r\nRemote update complete\r\n";
        } else {
            text = "\r\nERROR: image rejected by " + r.eui + "\r\n";
        }
    } else {
        text = kError;
    }
    AddTimer(at, [this, text] {
        SendText(text);
        Done();
    });
}

} // namespace vireo::sim
