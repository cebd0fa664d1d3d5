// Firmware images (.cod): "TRFW", u32 major, minor, release, u32 payload length, the payload,
// and a CRC-32 of everything before it; all little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trovsim {

uint32_t crc32(const uint8_t* data, size_t size);
// Returns the image size; writes it only if it fits into capacity.
size_t makeFirmwareImage(const uint32_t version[3], const uint8_t* payload, uint32_t payloadSize, uint8_t* out,
                         size_t capacity);
// False with the reason when the image is empty, short, of another kind or damaged.
bool parseFirmwareImage(const uint8_t* data, size_t size, uint32_t version[3], std::string* reason);

} // namespace trovsim
