// A firmware image file (*.ebl): choosing one, and the model it is built for, read from the
// head of the file: the first 256 bytes, zero bytes taken as spaces, searched for the known
// model names in a fixed order.
#pragma once

#include <string>

// The file-open dialog for an image (*.ebl): the chosen path, or empty on Cancel.
std::string ChooseFirmwareFile();

// 1 when the file could be read (model then holds the first known name found in its head, or
// is empty), 0 when it cannot be opened, is no regular file, or is empty.
int DetectFirmwareModel(const std::string& path, std::string& model);
