// How the words that end a module's reply are recognised: one rule for every dialogue of the
// program (AT transactions, the bootloader probe, scans).
//
// "OK" and "ERROR" end a reply only as a line of their own: a value such as "BOOK 3" or
// "CENTER" is read as a value, however its bytes are split across reads. Blanks (space, tab)
// between the word and its line end are allowed, as some modules pad their lines; a word
// followed by anything else ("OK 2") is a value. A word line counts once its line end has
// arrived; a word line at the very end of the text (or followed by a CR whose LF is still on
// the line) is reported as pending, so that the caller can wait briefly for the rest of the
// line instead of leaving it to land in front of the next reply.
//
// The bootloader's answer words ("ENTER", and ".ebl" or "Start") are looked for only in the
// answers to the bootloader commands that expect them, anywhere in the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class ReplyWord { None, Ok, Error, Enter, Start };

struct ReplyVerdict {
    ReplyWord word = ReplyWord::None;
    // False while the word's line may still grow or its line end is still on the way.
    bool complete = true;
    // Where the word begins in the reply; npos without a word. A pending word that turns out
    // to begin a longer line is followed by a word somewhere else, or by none.
    size_t at = std::string_view::npos;
};

// Which bootloader words the answer to a command may carry.
struct BootloaderWords {
    bool enter = false; // "ENTER": the answer to "AT+BOOTLOAD" without arguments
    bool start = false; // ".ebl" or "Start": the answer to "AT+BOOTLOAD=<n>,<address>"
};

// The bootloader words expected in the answer to command (any case); none for other commands.
BootloaderWords ExpectedBootloaderWords(std::string_view command);

// Position of the first line of text that is word, possibly followed by blanks, or npos.
// Lines end at CR or LF; the text's start begins a line. *complete (when given) is false for
// a pending word line. Only word lines whose word ends after position from are looked for.
size_t FindWordLine(std::string_view text, std::string_view word, bool* complete = nullptr,
                    size_t from = 0);

// The word that ends reply, tested in this order: "OK", "ERROR", then the expected bootloader
// words. None when the reply is not finished yet. settled is the length of a beginning of the
// reply that an earlier call judged None: a word can then only reach past it, so the search
// costs what arrived since, not the whole reply again.
ReplyVerdict JudgeReply(std::string_view reply, BootloaderWords words = {}, size_t settled = 0);

// Cuts the value out of a query's reply: the text before the "OK" line, after the first line
// feed when the value is framed by line ends, up to its carriage return (empty without one).
// Line ends ahead of the value that are left over from an earlier reply are skipped.
std::string ReplyValue(std::string_view reply);
