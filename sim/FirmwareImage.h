// Firmware images (*.ebl) of the simulated modules.
//
// An image is a 256-byte header followed by the payload. The header is ASCII text, one
// "key=value" line each, padded with zero bytes to 256 bytes:
//
//   VIREO-FW 1\n
//   model=KA40\n
//   version=v1.2.0\n
//   size=24576\n          payload length in bytes
//   crc32=1A2B3C4D\n      CRC-32 (IEEE 802.3, as zlib) of the payload, 8 hex digits
//
// The header names exactly one model, so a tool that looks for model names in the first
// 256 bytes finds it. An image received over XMODEM carries fill bytes after its end; they
// are ignored because the header gives the payload length. An image is valid for a module
// when the header is complete, the model equals the module's product, the version has the
// form "v" digits and dots, the payload is there and its CRC matches.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vireo::sim {

constexpr std::size_t kImageHeaderSize = 256;

struct ImageInfo {
    bool headerOk = false; // magic, model, version, size and crc present and well formed
    std::string model;
    std::string version;
    std::size_t size = 0;
    std::uint32_t crc = 0;
    bool payloadOk = false; // payload present and its CRC matches
};

std::uint32_t Crc32(std::string_view data);
std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t n);

bool IsVersionText(std::string_view version);

// Reads the header and checks the payload.
ImageInfo InspectImage(std::string_view image);
// True when image is a valid image for a module of product.
bool IsValidImageFor(std::string_view image, std::string_view product,
                     std::string* version = nullptr);
// Builds an image (used by the sample data generator and tests).
std::string BuildImage(std::string_view model, std::string_view version, std::string_view payload);

} // namespace vireo::sim
