/* Enumerates the controllers, opens the first, reads its move settings and writes them back.
 * Sees nothing but trov.h and links nothing but libtrov; exits non-zero on any surprise. */
#include <stdio.h>
#include <string.h>

#include "trov.h"

int main(void)
{
    enumeration_handle_t devices = enumerate_devices(ENUMERATE_PROBE);
    if (!devices) {
        fprintf(stderr, "enumerate_devices failed\n");
        return 1;
    }
    int count = get_device_count(devices);
    printf("%d controllers\n", count);
    if (count < 1)
        return 1;

    uint32_t serials[16];
    int known = 0;
    for (int i = 0; i < count && i < 16; ++i) {
        const char* name = get_device_name(devices, i);
        uint32_t serial = 0;
        device_information_t info;
        if (!name || get_enumerate_device_serial(devices, i, &serial) != result_ok
            || get_enumerate_device_information(devices, i, &info) != result_ok)
            return 1;
        for (int j = 0; j < known; ++j)
            if (serials[j] == serial) {
                fprintf(stderr, "serial %u appears twice\n", serial);
                return 1;
            }
        serials[known++] = serial;
        printf("%s: %.4s %.2s%u %.8s\n", name, info.Manufacturer, info.ManufacturerId, serial,
               info.ProductDescription);
    }

    char first[64];
    snprintf(first, sizeof first, "%s", get_device_name(devices, 0));
    device_t device = open_device(first);
    if (device == -1) {
        fprintf(stderr, "open_device(%s) failed\n", first);
        return 1;
    }
    move_settings_t move;
    memset(&move, 0xAA, sizeof move);
    result_t got = get_move_settings(device, &move);
    result_t set = set_move_settings(device, &move);
    result_t closed = close_device(&device);
    printf("get %d, set %d, close %d, speed %u\n", got, set, closed, move.Speed);
    free_enumerate_devices(devices);
    return (got == result_ok && set == result_ok && closed == result_ok && count == 3) ? 0 : 1;
}
