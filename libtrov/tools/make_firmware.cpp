// Writes a firmware image (.cod) for the simulated controllers:
//   make_firmware [--bad-crc] 4.2.0 out.cod [payload-bytes]
// --bad-crc damages the checksum, for trying the refusal of a broken image.
#include "firmware.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    bool badCrc = argc > 1 && std::strcmp(argv[1], "--bad-crc") == 0;
    if (badCrc) {
        --argc;
        ++argv;
    }
    unsigned major, minor, release;
    char tail;
    if (argc < 3 || argc > 4 || std::sscanf(argv[1], "%u.%u.%u%c", &major, &minor, &release, &tail) != 3) {
        std::fprintf(stderr, "usage: make_firmware [--bad-crc] MAJOR.MINOR.RELEASE OUT.cod [PAYLOAD_BYTES]\n");
        return 2;
    }
    char* end = nullptr;
    unsigned long size = argc == 4 ? std::strtoul(argv[3], &end, 10) : 4096;
    if ((argc == 4 && (end == argv[3] || *end != '\0')) || size > 16u * 1024 * 1024) {
        std::fprintf(stderr, "make_firmware: payload size must be a number up to 16 MiB\n");
        return 2;
    }
    std::vector<uint8_t> payload(size);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 31 + 7);
    const uint32_t version[3] = {major, minor, release};
    size_t total = trovsim::makeFirmwareImage(version, payload.data(), static_cast<uint32_t>(size), nullptr, 0);
    std::vector<uint8_t> image(total);
    trovsim::makeFirmwareImage(version, payload.data(), static_cast<uint32_t>(size), image.data(), total);
    if (badCrc)
        image.back() ^= 0x5A;
    FILE* f = std::fopen(argv[2], "wb");
    bool ok = f && std::fwrite(image.data(), 1, image.size(), f) == image.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(stderr, "make_firmware: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
