#include "res/DialogTemplate.h"

#include <algorithm>
#include <cctype>
#include <sstream>

bool DialogControl::Has(const std::string& flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const DialogControl* DialogTemplate::Find(int controlId) const {
    for (const DialogControl& c : controls)
        if (c.id == controlId)
            return &c;
    return nullptr;
}

namespace {

// Splits a line into words; a quoted text (which may hold blanks) is one word, and
// key="text" keeps its key.
bool Tokenize(const std::string& line, std::vector<std::string>& words) {
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        std::string word;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
            if (line[i] == '"') {
                const size_t end = line.find('"', i + 1);
                if (end == std::string::npos)
                    return false;
                word += line.substr(i, end - i + 1);
                i = end + 1;
            } else {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return true;
}

bool Unquote(const std::string& word, std::string& text) {
    if (word.size() < 2 || word.front() != '"' || word.back() != '"')
        return false;
    text.clear();
    for (size_t i = 1; i + 1 < word.size(); ++i) {
        if (word[i] == '\\' && word[i + 1] == 'n' && i + 2 < word.size()) {
            text += '\n';
            ++i;
        } else {
            text += word[i];
        }
    }
    return true;
}

bool ToInt(const std::string& word, int& value) {
    try {
        size_t used = 0;
        value = std::stoi(word, &used);
        return used == word.size();
    } catch (...) {
        return false;
    }
}

bool ParseControl(const std::vector<std::string>& w, DialogControl& c) {
    if (w.size() < 7)
        return false;
    c.kind = w[0];
    if (w[1] != "-" && !ToInt(w[1], c.id))
        return false;
    if (!Unquote(w[2], c.text) || !ToInt(w[3], c.x) || !ToInt(w[4], c.y) || !ToInt(w[5], c.width) ||
        !ToInt(w[6], c.height))
        return false;
    for (size_t i = 7; i < w.size(); ++i) {
        if (w[i].rfind("label=", 0) == 0) {
            if (!Unquote(w[i].substr(6), c.label))
                return false;
        } else {
            c.flags.push_back(w[i]);
        }
    }
    return true;
}

} // namespace

bool ParseDialogTemplate(const std::string& text, DialogTemplate& out, std::string* error) {
    out = DialogTemplate();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool haveHeader = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> words;
        bool ok = Tokenize(line, words);
        if (ok && (words.empty() || words[0][0] == '#'))
            continue;
        if (ok && words[0] == "DIALOG") {
            ok = !haveHeader && words.size() == 5 && ToInt(words[1], out.id) &&
                 Unquote(words[2], out.caption) && ToInt(words[3], out.width) &&
                 ToInt(words[4], out.height);
            haveHeader = true;
        } else if (ok) {
            DialogControl c;
            ok = haveHeader && ParseControl(words, c);
            out.controls.push_back(c);
        }
        if (!ok) {
            if (error)
                *error = "line " + std::to_string(number) + ": " + line;
            return false;
        }
    }
    if (!haveHeader && error)
        *error = "no DIALOG line";
    return haveHeader;
}
