#include "cli/PortSummary.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"

#include <algorithm>
#include <cstdio>

namespace vireo::cli {

namespace {

using Row = std::vector<std::string>;

std::string OrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

Row TableRow(Verb verb, const PortOutcome& o) {
    Row row{o.port, OrDash(o.module.productName), OrDash(o.module.firmwareVersion)};
    if (verb == Verb::Flash)
        row.push_back(OrDash(o.newFirmwareVersion));
    row.push_back(o.exitCode == kExitOk ? "OK" : "FAILED (" + std::to_string(o.exitCode) + ")");
    row.push_back(Seconds(o.seconds));
    row.push_back(o.exitCode == kExitOk ? "" : o.message);
    return row;
}

// The rows with each column but the last padded to its widest entry, two blanks apart.
std::string Layout(const std::vector<Row>& rows) {
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const Row& row : rows) {
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    std::string text;
    for (const Row& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

} // namespace

int CombinedExitCode(const std::vector<int>& codes) {
    int shared = kExitOk;
    for (int code : codes) {
        if (code == kExitOk)
            continue;
        if (shared != kExitOk && code != shared)
            return kExitFailure;
        shared = code;
    }
    return shared;
}

std::string SummaryTable(Verb verb, const std::vector<PortOutcome>& outcomes) {
    std::vector<Row> rows;
    if (verb == Verb::Flash)
        rows.push_back({"Port", "Module", "Old version", "New version", "Result", "Time", ""});
    else
        rows.push_back({"Port", "Module", "Version", "Result", "Time", ""});
    for (const PortOutcome& outcome : outcomes)
        rows.push_back(TableRow(verb, outcome));
    return Layout(rows);
}

std::string OutcomeJson(Verb verb, const PortOutcome& o) {
    CJsonObject json;
    json.Add("port", o.port).Add("product_name", o.module.productName);
    if (verb == Verb::Flash) {
        json.Add("old_firmware_version", o.module.firmwareVersion)
            .Add("new_firmware_version", o.newFirmwareVersion);
    } else {
        json.Add("firmware_version", o.module.firmwareVersion);
    }
    if (verb == Verb::Info) {
        json.Add("eui_address", o.module.euiAddress)
            .Add("node_name", o.module.nodeName)
            .Add("sleepy_end_device", o.module.sleepy);
    }
    json.AddNumber("exit_code", o.exitCode)
        .Add("message", o.message)
        .AddNumber("milliseconds", static_cast<long long>(o.seconds * 1000.0 + 0.5));
    return json.Text() + "\n";
}

} // namespace vireo::cli
