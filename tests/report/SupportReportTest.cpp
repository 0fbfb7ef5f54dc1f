// The support bundle: its archive as the system's tar reads it, and vireo report against a
// paced simulated module on COM1, with /dev/null on COM2 and an earlier transcript.
#include "cli/CommandLine.h"
#include "cli/Verbs.h"
#include "platform/UserState.h"
#include "report/TarGz.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace vireo::test {
namespace {

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
            out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

std::string ReadAll(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Names that could land outside the folder never enter the archive; the longest name and an
// empty file unpack.
TEST(TarGz, UnsafeNamesAreRefused) {
    CTempPortDir dir; // a private scratch folder
    CTarGzWriter archive;
    const std::string names[] = {"",    "/etc/passwd", "../x", "a/../../x",          "a//b",
                                 "./a", "a\nb",        "a/",   std::string(100, 'n')};
    for (const std::string& name : names)
        EXPECT_FALSE(archive.AddFile(name, "x", 0)) << name;
    ASSERT_TRUE(archive.AddFile("empty.txt", "", 0));
    ASSERT_TRUE(archive.AddFile(std::string(99, 'n'), "x", 1700000000));
    std::ofstream(dir.Path() + "/b.tar.gz", std::ios::binary) << archive.Finish();
    ASSERT_EQ(0, std::system(("tar -xzf " + dir.Path() + "/b.tar.gz -C " + dir.Path()).c_str()));
    EXPECT_EQ("x", ReadAll(dir.Path() + "/" + std::string(99, 'n')));
}

// The bundle holds exactly the report, the module's construct file and both transcripts, byte
// for byte, and the report says what a support case needs.
TEST(SupportReport, HoldsTheModuleItsPortsAndTranscriptsAndNothingElse) {
    CTempPortDir dir;
    setenv("VIREO_STATE_DIR", dir.Path().c_str(), 1);
    std::string earlier; // binary, so that the archive needs more than one stored block
    for (int i = 0; i < 200000; ++i)
        earlier.push_back(static_cast<char>(i * 7 % 256));
    std::ofstream(dir.Path() + "/earlier.txt", std::ios::binary) << earlier;
    RememberLastTranscript(dir.Path() + "/earlier.txt");
    std::filesystem::create_symlink("/dev/null", dir.Path() + "/COM2");
    sim::SimConfig config;
    config.portDir = dir.Path();
    config.dataDir = VIREO_SAMPLE_DIR;
    config.pacing = true;
    sim::Simulator sim(config);
    ASSERT_TRUE(sim.Start());

    cli::CliOptions options;
    options.verb = cli::Verb::Report;
    options.port = 1;
    options.file = dir.Path() + "/bundle.tar.gz";
    ASSERT_EQ(0, cli::RunReport(options));
    sim.Stop();

    EXPECT_EQ("KA40_v1.1.0.vmcon\nsession-transcript.txt\nlast-transcript.txt\nreport.txt\n",
              Output("tar -tzf " + options.file));
    ASSERT_EQ(0, std::system(("tar -xzf " + options.file + " -C " + dir.Path()).c_str()));
    const std::string report = ReadAll(dir.Path() + "/report.txt");
    for (const char* part :
         {"Program: vireo (Vireo Manager) ", "Platform: Linux ", "  COM1  " /* device */, "opens\n",
          "  COM2  /dev/null  cannot be opened: ",
          "Line settings: 9600 baud, 8 data bits, no parity",
          "Module on COM1:\n  Product name: KA40\n  Firmware version: v1.1.0\n"})
        EXPECT_NE(std::string::npos, report.find(part)) << part << "\n" << report;
    EXPECT_NE(std::string::npos, ReadAll(dir.Path() + "/session-transcript.txt").find("<- KA40"));
    EXPECT_EQ(earlier, ReadAll(dir.Path() + "/last-transcript.txt"));
    unsetenv("VIREO_STATE_DIR");
}

} // namespace
} // namespace vireo::test
