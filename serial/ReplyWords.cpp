#include "serial/ReplyWords.h"

#include <cctype>

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

// Where to start looking for word so as to find every occurrence that ends after from.
size_t SearchStart(std::string_view word, size_t from) {
    return from >= word.size() ? from - word.size() + 1 : 0;
}

} // namespace

BootloaderWords ExpectedBootloaderWords(std::string_view command) {
    constexpr std::string_view kBootload = "AT+BOOTLOAD";
    if (!StartsWithNoCase(command, kBootload))
        return {};
    const std::string_view rest = command.substr(kBootload.size());
    if (!rest.empty() && rest.front() == '=')
        return {false, true};
    if (rest.empty() || IsLineEnd(rest.front()))
        return {true, false};
    return {};
}

size_t FindWordLine(std::string_view text, std::string_view word, bool* complete, size_t from) {
    for (size_t at = text.find(word, SearchStart(word, from)); at != std::string_view::npos;
         at = text.find(word, at + 1)) {
        if (at > 0 && !IsLineEnd(text[at - 1]))
            continue;
        // Blanks between the word and its line end still make a word line.
        size_t next = at + word.size();
        while (next < text.size() && IsBlank(text[next]))
            ++next;
        if (next < text.size() && !IsLineEnd(text[next]))
            continue;
        if (complete) {
            // Pending: nothing (or only blanks) after the word yet, or a CR whose LF may
            // still follow.
            *complete = next < text.size() && !(text[next] == '\r' && next + 1 == text.size());
        }
        return at;
    }
    return std::string_view::npos;
}

ReplyVerdict JudgeReply(std::string_view reply, BootloaderWords words, size_t settled) {
    constexpr size_t npos = std::string_view::npos;
    const auto find = [reply, settled](std::string_view word) {
        return reply.find(word, SearchStart(word, settled));
    };
    ReplyVerdict verdict;
    if ((verdict.at = FindWordLine(reply, "OK", &verdict.complete, settled)) != npos) {
        verdict.word = ReplyWord::Ok;
        return verdict;
    }
    if ((verdict.at = FindWordLine(reply, "ERROR", &verdict.complete, settled)) != npos) {
        verdict.word = ReplyWord::Error;
        return verdict;
    }
    verdict.complete = true;
    if (words.enter && (verdict.at = find("ENTER")) != npos) {
        verdict.word = ReplyWord::Enter;
    } else if (words.start &&
               ((verdict.at = find(".ebl")) != npos || (verdict.at = find("Start")) != npos)) {
        verdict.word = ReplyWord::Start;
    }
    return verdict;
}

std::string ReplyValue(std::string_view reply) {
    std::string_view p = reply.substr(0, FindWordLine(reply, "OK"));
    // A reply normally opens with at most one line end ahead of its value; more are left over
    // from the reply before it and would otherwise be taken for an empty value line.
    std::string framed;
    if (!p.empty() && IsLineEnd(p.front())) {
        size_t first = 0;
        while (first < p.size() && IsLineEnd(p[first]))
            ++first;
        framed = "\r\n";
        framed += p.substr(first);
        p = framed;
    }
    const size_t lf = p.find('\n');
    const std::string_view t = lf == std::string_view::npos ? p : p.substr(lf + 1);
    // A line feed left in T means the value line is followed by more lines: cut T at its
    // first CR. Otherwise the value is P up to its first CR.
    const std::string_view source = t.find('\n') != std::string_view::npos ? t : p;
    const size_t cr = source.find('\r');
    return cr == std::string_view::npos ? std::string() : std::string(source.substr(0, cr));
}
