#ifndef AXISOBJECT_H
#define AXISOBJECT_H

#include <QObject>
#include <QScriptValue>
#include <QScriptable>

#include <atomic>
#include <functional>

#include "device/TrovMetaTypes.h"
#include "trov.h"

class DeviceInterface;
class ScriptAxisHost;
class ScriptEngineThread;

// One controller axis as a multi-axis script sees it: each slot is one library call through the
// axis' gateway on the handle its polling thread holds at that moment, so a reconnect is
// followed without notice. Made only by "newaxis", in the script thread, owned by the engine.
//
// Every slot looks at the run's stop first: after a stop it ends the evaluation and calls
// nothing; then it calls only where the host lets it. A motion command answers nothing
// (undefined), sent, refused or skipped. A failed read gives undefined, so a read-modify-write
// writes nothing.
class AxisObject : public QObject, protected QScriptable
{
    Q_OBJECT
public:
    // Axis `axis` of the host. None is owned; all outlive the engine.
    AxisObject(ScriptAxisHost* host, int axis, ScriptEngineThread* thread);

public slots:
    QScriptValue rigt();
    QScriptValue left();
    QScriptValue stop();
    QScriptValue sstp();
    // A NaN, an infinity or a number beyond the int range throws a TypeError and sends nothing;
    // fractions are cut toward zero.
    QScriptValue move(int pos, int upos = 0);
    QScriptValue movr(int pos, int upos = 0);
    QScriptValue zero();
    QScriptValue home();
    QScriptValue gets();

    void set_feedback_settings(feedback_settings_t s);
    QScriptValue get_feedback_settings();
    void set_home_settings(home_settings_t s);
    QScriptValue get_home_settings();
    void set_move_settings(move_settings_t s);
    QScriptValue get_move_settings();
    void set_engine_settings(engine_settings_t s);
    QScriptValue get_engine_settings();
    void set_entype_settings(entype_settings_t s);
    QScriptValue get_entype_settings();
    void set_power_settings(power_settings_t s);
    QScriptValue get_power_settings();
    void set_secure_settings(secure_settings_t s);
    QScriptValue get_secure_settings();
    void set_edges_settings(edges_settings_t s);
    QScriptValue get_edges_settings();
    void set_pid_settings(pid_settings_t s);
    QScriptValue get_pid_settings();
    void set_sync_in_settings(sync_in_settings_t s);
    QScriptValue get_sync_in_settings();
    void set_sync_out_settings(sync_out_settings_t s);
    QScriptValue get_sync_out_settings();
    void set_extio_settings(extio_settings_t s);
    QScriptValue get_extio_settings();
    void set_brake_settings(brake_settings_t s);
    QScriptValue get_brake_settings();
    void set_control_settings(control_settings_t s);
    QScriptValue get_control_settings();
    void set_joystick_settings(joystick_settings_t s);
    QScriptValue get_joystick_settings();
    void set_ctp_settings(ctp_settings_t s);
    QScriptValue get_ctp_settings();
    void set_uart_settings(uart_settings_t s);
    QScriptValue get_uart_settings();
    void set_stage_information(stage_information_t s);
    QScriptValue get_stage_information();
    void set_stage_settings(stage_settings_t s);
    QScriptValue get_stage_settings();
    void set_dc_information(dc_information_t s);
    QScriptValue get_dc_information();
    void set_dc_settings(dc_settings_t s);
    QScriptValue get_dc_settings();
    void set_step_information(step_information_t s);
    QScriptValue get_step_information();
    void set_step_settings(step_settings_t s);
    QScriptValue get_step_settings();
    void set_encoder_information(encoder_information_t s);
    QScriptValue get_encoder_information();
    void set_encoder_settings(encoder_settings_t s);
    QScriptValue get_encoder_settings();
    void set_gear_information(gear_information_t s);
    QScriptValue get_gear_information();
    void set_gear_settings(gear_settings_t s);
    QScriptValue get_gear_settings();

private:
    // False after a stop (the evaluation is then ended) or without a controller call to make.
    bool mayCall(bool motion = false);
    // A motion command's result for the script.
    QScriptValue commandResult(const std::function<result_t(device_t)>& call);
    template <result_t (DeviceInterface::*command)(device_t)>
    QScriptValue command();
    template <result_t (DeviceInterface::*command)(device_t, int, int)>
    QScriptValue moveCommand(int pos, int upos, const char* name);
    template <typename Record>
    QScriptValue read();
    template <typename Record>
    void write(const Record& record);

    ScriptAxisHost* const host;
    const int axis;
    DeviceInterface* const gateway;
    std::atomic<device_t>* const handle;
    ScriptEngineThread* const thread;
};

#endif // AXISOBJECT_H
