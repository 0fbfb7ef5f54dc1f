// What the parameter editor computes without widgets: splitting choice and value lists,
// choosing the entry that matches a value read from the device, and building the command
// that saves a value.
#pragma once

#include "config/ConstructFile.h"

#include <string>
#include <vector>

// At most this many pieces of at most kMaxChoiceChars characters are taken from a list.
constexpr size_t kMaxChoices = 20;
constexpr size_t kMaxChoiceChars = 63;

// Splits a list at ":" into at most `limit` pieces (a list without ":" is one piece); each
// piece is cut to kMaxChoiceChars characters.
std::vector<std::string> SplitList(const std::string& list, size_t limit = kMaxChoices);

// Item data of the choice to select for a value read from the device: with a value list,
// the index of the last value equal to the reply (0 when none is); without, the reply's
// leading decimal number (0 when it has none).
int ChoiceIndexForReply(const ConfigParam& param, const std::string& reply);

// The value Save sends for a choice parameter whose box shows `shown`: the index of the
// first choice equal to it (0 when none is), mapped through the value list (its last entry
// when the list is shorter) or written in decimal when there is no value list.
std::string ChoiceValueToSave(const ConfigParam& param, const std::string& shown);

// The write command of a parameter: its read command up to the first CR, "=", the value and
// "\r\n".
std::string SaveCommand(const ConfigParam& param, const std::string& value);

// "min ~ max" of a parameter with a range; empty when it has none.
std::string RangeText(const ConfigParam& param);
