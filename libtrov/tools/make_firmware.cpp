// Writes a firmware image (.cod) for the simulated controllers:
//   make_firmware 4.2.0 out.cod [payload-bytes]
#include "trovsim.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    unsigned major, minor, release;
    char tail;
    if (argc < 3 || argc > 4 || std::sscanf(argv[1], "%u.%u.%u%c", &major, &minor, &release, &tail) != 3) {
        std::fprintf(stderr, "usage: make_firmware MAJOR.MINOR.RELEASE OUT.cod [PAYLOAD_BYTES]\n");
        return 2;
    }
    unsigned long size = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 4096;
    if (size > 16u * 1024 * 1024) {
        std::fprintf(stderr, "make_firmware: payload too large\n");
        return 2;
    }
    std::vector<uint8_t> payload(size);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 31 + 7);
    size_t total = trovsim_make_firmware_image(major, minor, release, payload.data(), static_cast<uint32_t>(size), nullptr, 0);
    std::vector<uint8_t> image(total);
    trovsim_make_firmware_image(major, minor, release, payload.data(), static_cast<uint32_t>(size), image.data(), total);
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_firmware: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
