#include "firmware.h"

#include <cstring>

namespace trovsim {

namespace {

constexpr size_t kHeader = 4 + 4 * 4;

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

uint32_t crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

size_t makeFirmwareImage(const uint32_t version[3], const uint8_t* payload, uint32_t payloadSize, uint8_t* out,
                         size_t capacity)
{
    size_t total = kHeader + payloadSize + 4;
    if (!out || capacity < total || (payloadSize && !payload))
        return total;
    std::memcpy(out, "TRFW", 4);
    for (int i = 0; i < 3; ++i)
        put32(out + 4 + 4 * i, version[i]);
    put32(out + 16, payloadSize);
    if (payloadSize)
        std::memcpy(out + kHeader, payload, payloadSize);
    put32(out + kHeader + payloadSize, crc32(out, kHeader + payloadSize));
    return total;
}

bool parseFirmwareImage(const uint8_t* data, size_t size, uint32_t version[3], std::string* reason)
{
    auto fail = [&](const char* why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (!data || size == 0)
        return fail("empty image");
    if (size < kHeader + 4)
        return fail("image too short");
    if (std::memcmp(data, "TRFW", 4) != 0)
        return fail("not a firmware image");
    uint32_t length = get32(data + 16);
    if (static_cast<uint64_t>(length) + kHeader + 4 != size)
        return fail("image length does not match");
    if (crc32(data, kHeader + length) != get32(data + kHeader + length))
        return fail("checksum mismatch");
    for (int i = 0; i < 3; ++i)
        version[i] = get32(data + 4 + 4 * i);
    return true;
}

} // namespace trovsim
