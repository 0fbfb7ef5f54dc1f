// The vireo executable run as a child process against paced simulated modules, registered in
// a private port folder. A module answers at the line rate, byte after byte, as a real one does.
#pragma once

#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sstream>

namespace vireo::test {

struct ChildResult {
    int exitCode = -1; // -1 when it did not exit normally (killed, not started)
    std::string out;
    std::string err;
};

// What a child wrote, a line each (without the line breaks).
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The value of the whole text, or nullopt when it is not valid JSON (Qt's reader rejects bytes
// that are not UTF-8; it takes only arrays and objects at the top, hence the array around it).
inline std::optional<QJsonValue> ParseJson(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString("[" + text + "]"), &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1)
        return std::nullopt;
    return doc.array().at(0);
}

// A string's value in UTF-8, or a number's digits.
inline std::string Text(const QJsonValue& value) {
    return value.isDouble() ? std::to_string(value.toInteger()) : value.toString().toStdString();
}

inline std::string Sample(const std::string& name) {
    return std::string(VIREO_SAMPLE_DIR) + "/" + name;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class VireoCommand : public ::testing::Test {
protected:
    ~VireoCommand() override {
        for (const auto& module : modules)
            module->Stop();
    }

    // A module on COM<com> with no network unless config names one; the first is sim.
    void StartModule(sim::SimConfig config, int com = 1) {
        config.portDir = dir.Path();
        config.comNumber = com;
        config.dataDir = VIREO_SAMPLE_DIR;
        config.remoteCount = 0;
        config.pacing = true;
        modules.push_back(std::make_unique<sim::Simulator>(config));
        std::string error;
        ASSERT_TRUE(modules.back()->Start(&error)) << error;
        sim = modules.front().get();
    }

    // Runs vireo and waits for it; one still running after 300 s is killed (a hung tool must
    // fail its test, not hang the suite). started, when given, gets its pid once it runs.
    static ChildResult Vireo(const std::vector<std::string>& args,
                             const std::string& stdinPath = "/dev/null",
                             const std::function<void(int pid)>& started = nullptr) {
        QStringList arguments;
        for (const std::string& arg : args)
            arguments << QString::fromStdString(arg);
        QProcess child;
        child.setStandardInputFile(QString::fromStdString(stdinPath));
        child.start(VIREO_EXECUTABLE, arguments);
        if (started && child.waitForStarted())
            started(static_cast<int>(child.processId()));
        ChildResult result;
        if (!child.waitForFinished(300 * 1000)) {
            child.kill();
            child.waitForFinished();
        } else if (child.exitStatus() == QProcess::NormalExit) {
            result.exitCode = child.exitCode();
        }
        result.out = child.readAllStandardOutput().toStdString();
        result.err = child.readAllStandardError().toStdString();
        return result;
    }
    // The JSON a successful command printed (an undefined value when it printed none).
    static QJsonValue Json(const std::vector<std::string>& args) {
        const ChildResult r = Vireo(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const auto value = ParseJson(r.out);
        EXPECT_TRUE(value.has_value()) << r.out;
        return value.value_or(QJsonValue::Undefined);
    }

    // The module was left as the window leaves it when it closes: echo on.
    void ExpectEchoBackOn() const {
        const std::vector<std::string> commands = sim->ExecutedCommands();
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands.back(), "ATE1");
    }

    CTempPortDir dir; // outlives the modules, which remove their entries from it
    std::vector<std::unique_ptr<sim::Simulator>> modules;
    sim::Simulator* sim = nullptr;
};

} // namespace vireo::test
