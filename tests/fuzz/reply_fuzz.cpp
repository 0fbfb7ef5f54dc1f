// Fuzz target of the reply rule and the value cut: the first byte chooses the bootloader
// words expected and how much of the reply is already settled; the verdict must point into
// the reply at the word it names, and the value is never longer than the reply.
#include "serial/ReplyWords.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool WordAt(std::string_view reply, const ReplyVerdict& v) {
    const std::string_view rest = reply.substr(v.at);
    switch (v.word) {
    case ReplyWord::Ok: return rest.substr(0, 2) == "OK";
    case ReplyWord::Error: return rest.substr(0, 5) == "ERROR";
    case ReplyWord::Enter: return rest.substr(0, 5) == "ENTER";
    case ReplyWord::Start: return rest.substr(0, 4) == ".ebl" || rest.substr(0, 5) == "Start";
    case ReplyWord::None: return false;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0)
        return 0;
    BootloaderWords words;
    words.enter = (bytes[0] & 1) != 0;
    words.start = (bytes[0] & 2) != 0;
    const std::string_view reply(reinterpret_cast<const char*>(bytes + 1), size - 1);
    const size_t settled = (bytes[0] >> 2) % (reply.size() + 1);
    const ReplyVerdict verdict = JudgeReply(reply, words, settled);
    if (verdict.word == ReplyWord::None) {
        if (verdict.at != std::string_view::npos)
            std::abort();
    } else if (verdict.at >= reply.size() || !WordAt(reply, verdict)) {
        std::abort();
    }
    if (ReplyValue(reply).size() > reply.size())
        std::abort();
    return 0;
}
