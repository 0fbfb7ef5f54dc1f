#include "VireoFixture.h"

#include <QProcess>
#include <sstream>

namespace vireo::test {

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     int timeoutSeconds, const std::string& stdinPath,
                     const std::function<void(int pid)>& started) {
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    QProcess child;
    child.setStandardInputFile(QString::fromStdString(stdinPath));
    child.start(QString::fromStdString(program), arguments);
    if (started && child.waitForStarted())
        started(static_cast<int>(child.processId()));
    ChildResult result;
    if (!child.waitForFinished(timeoutSeconds * 1000)) {
        child.kill();
        child.waitForFinished();
    } else if (child.exitStatus() == QProcess::NormalExit) {
        result.exitCode = child.exitCode();
    }
    result.out = child.readAllStandardOutput().toStdString();
    result.err = child.readAllStandardError().toStdString();
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace vireo::test
