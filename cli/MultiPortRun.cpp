// A verb on several ports at once: a thread per port, the ports' lines on standard error,
// and the summary on standard output once every port has ended.
#include "cli/PortRun.h"
#include "cli/PortSummary.h"
#include "cli/Verbs.h"
#include "platform/PortMap.h"

#include <cstdio>
#include <thread>

namespace vireo::cli {

int RunOnPorts(const CliOptions& options, VerbFunction verb) {
    std::vector<std::string> names;
    for (int port : options.ports)
        names.push_back(PortName(port));
    std::vector<PortOutcome> outcomes(options.ports.size());
    {
        CProgressBoard board(stderr, CProgressBoard::CanDrawBlock(stderr), names);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < options.ports.size(); ++i) {
            threads.emplace_back([&options, &outcomes, &board, verb, i] {
                CliOptions one = options;
                one.port = options.ports[i];
                one.ports = {one.port};
                outcomes[i] = RunOnPort(verb, one, board, i);
            });
        }
        for (std::thread& thread : threads)
            thread.join();
    }
    std::vector<int> codes;
    std::string text;
    for (const PortOutcome& outcome : outcomes) {
        codes.push_back(outcome.exitCode);
        if (options.json)
            text += OutcomeJson(options.verb, outcome);
    }
    if (!options.json)
        text = SummaryTable(options.verb, outcomes);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    return CombinedExitCode(codes);
}

} // namespace vireo::cli
