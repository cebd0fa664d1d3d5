/*
 * trovsim.h: test controls of the simulated controller library. Exported from libtrov.so.6
 * (the simulator's state lives there) but seen only by tests and tools, never by the program.
 *
 * Every function is thread-safe and returns 0 on success and -1 on a bad argument (an unknown
 * device or function name), so that a typo in a test fails loudly. `dev` is a device name such
 * as "sim:axis1"; NULL means every device where that makes sense. Function names are the
 * library's own ("get_status", "command_update_firmware", "enumerate_devices").
 */
#ifndef TROVSIM_H
#define TROVSIM_H

#include "trov.h"

#ifdef __cplusplus
extern "C" {
#endif

/* lifecycle: power-cycle everything and load a controller set.
 * controller_set: the inline form of TROVSIM_CONTROLLERS, or NULL for the environment/config.
 * data_dir: a folder, "" for in-memory only, NULL for the environment. */
TROV_API int trovsim_reset(const char* controller_set, const char* data_dir);

/* clock */
TROV_API void trovsim_clock_manual(int on);
TROV_API void trovsim_advance_ms(uint64_t ms); /* manual mode: move simulated time */
TROV_API void trovsim_set_time_scale(double scale);
TROV_API uint64_t trovsim_now_ms(void);

/* connection and modes */
TROV_API int trovsim_unplug(const char* dev);                 /* handles lost (-4), open fails, not enumerated */
TROV_API int trovsim_plug(const char* dev, int power_cycle);  /* back; 1 = RAM reloaded from flash */
TROV_API int trovsim_set_busy(const char* dev, int busy);     /* held open by another program */
TROV_API int trovsim_enter_bootloader(const char* dev, int firmware_valid);
TROV_API void trovsim_reuse_handles(int on); /* open_device gives the lowest free number; off at reset */

/* faults */
TROV_API int trovsim_force_result(const char* dev, const char* function, int result,
                                  int count); /* count -1 = until cleared */
TROV_API int trovsim_delay_call(const char* dev, const char* function, int delay_ms,
                                int count); /* real time, outside locks */
TROV_API int trovsim_hold_call(const char* dev, const char* function); /* next matching call blocks ... */
TROV_API int trovsim_wait_held(const char* dev, const char* function,
                               int timeout_ms); /* ... the test waits until it is blocked ... */
TROV_API int trovsim_release_call(const char* dev,
                                  const char* function); /* ... and lets it go (30 s safety timeout) */
TROV_API void trovsim_clear_faults(void);

/* world inputs */
enum trovsim_input {
    TROVSIM_JOYSTICK,
    TROVSIM_BUTTON_LEFT,
    TROVSIM_BUTTON_RIGHT,
    TROVSIM_EXTIO_IN,
    TROVSIM_SYNC_PULSE,
    TROVSIM_POSITIONER,
    TROVSIM_TEMPERATURE, /* tenths of a degree; INT64_MIN = back to the model */
    TROVSIM_DRIVER_TEMPERATURE,
    TROVSIM_SUPPLY, /* hundredths of a volt */
    TROVSIM_USB_VOLTAGE,
    TROVSIM_WINDING_A,
    TROVSIM_WINDING_B,
    TROVSIM_ENCODER_STATE,
    TROVSIM_H_BRIDGE_FAULT,
    TROVSIM_DATA_ERROR,
    TROVSIM_PHYSICAL_POSITION /* move the stage by hand, x256 */
};
TROV_API int trovsim_set_input(const char* dev, int input, int64_t value);
/* a motion command from another source (joystick, sync input, another program) */
TROV_API int trovsim_external_command(const char* dev, int mvcmd, int position, int uposition);

/* observation */
typedef struct trovsim_call_t {
    char function[40];
    char device[40];
    int result;
    uint64_t sim_ms;
} trovsim_call_t;
TROV_API void trovsim_journal_clear(void);
TROV_API int trovsim_journal_size(void); /* ring of the last 10000 calls */
TROV_API int trovsim_journal_entry(int index, trovsim_call_t* out);
TROV_API int trovsim_call_count(const char* dev, const char* function);
TROV_API int trovsim_physical_position(const char* dev, double* steps);

/* logging and images */
TROV_API void trovsim_emit_log(int level, const char* utf8_text); /* through the callback, this thread */
TROV_API size_t trovsim_make_firmware_image(uint32_t major, uint32_t minor, uint32_t release,
                                            const uint8_t* payload, uint32_t payload_size, uint8_t* out,
                                            size_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* TROVSIM_H */
