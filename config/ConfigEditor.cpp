#include "config/ConfigEditor.h"

#include <cstdlib>

std::vector<std::string> SplitList(const std::string& list, size_t limit) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (pieces.size() < limit) {
        const size_t colon = list.find(':', start);
        pieces.push_back(
            list.substr(start, std::min(colon, list.size()) - start).substr(0, kMaxChoiceChars));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return pieces;
}

int ChoiceIndexForReply(const ConfigParam& param, const std::string& reply) {
    if (param.valueList[0] == '\0')
        return std::atoi(reply.c_str());
    const std::vector<std::string> choices = SplitList(param.choiceList);
    const std::vector<std::string> values = SplitList(param.valueList, choices.size());
    int selected = 0;
    for (size_t k = 0; k < values.size(); ++k)
        if (values[k] == reply)
            selected = static_cast<int>(k);
    return selected;
}

std::string ChoiceValueToSave(const ConfigParam& param, const std::string& shown) {
    const std::vector<std::string> choices = SplitList(param.choiceList);
    size_t k = 0;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (choices[i] == shown) {
            k = i;
            break;
        }
    }
    if (param.valueList[0] == '\0')
        return std::to_string(k);
    const std::vector<std::string> values = SplitList(param.valueList, choices.size());
    return k < values.size() ? values[k] : values.back();
}

std::string SaveCommand(const ConfigParam& param, const std::string& value) {
    const std::string command(param.command);
    return command.substr(0, command.find('\r')) + "=" + value + "\r\n";
}

std::string RangeText(const ConfigParam& param) {
    if (param.rangeMin[0] == '\0')
        return {};
    return std::string(param.rangeMin) + " ~ " + param.rangeMax;
}
