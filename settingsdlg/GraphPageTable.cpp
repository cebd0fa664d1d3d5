#include "settingsdlg/GraphPageTable.h"

#include <QCoreApplication>

const GraphPageRow graphPageRows[20] = {
    {QT_TRANSLATE_NOOP("SettingsDlg", "Position"), "Position curve setup", "Graph_position_setup", 0},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Speed"), "Speed curve setup", "Graph_speed_setup", 1},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Encoder"), "Encoder curve setup", "Graph_encoder_setup", 2},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Flags"), "Flags curve setup", "Graph_flags_setup", 19},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Eng. voltage"), "Eng. voltage curve setup", "Graph_envoltage_setup", 3},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Power voltage"), "Power voltage curve setup", "Graph_pwrvoltage_setup", 4},
    {QT_TRANSLATE_NOOP("SettingsDlg", "USB voltage"), "USB voltage curve setup", "Graph_usbvoltage_setup", 5},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Winding A voltage"), "Winding A voltage curve setup", "Graph_voltageA_setup", 6},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Winding B voltage"), "Winding B voltage curve setup", "Graph_voltageB_setup", 7},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Winding C voltage"), "Winding C voltage curve setup", "Graph_voltageC_setup", 8},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Eng. current"), "Eng. current curve setup", "Graph_encurrent_setup", 9},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Power current"), "Power current curve setup", "Graph_pwrcurrent_setup", 10},
    {QT_TRANSLATE_NOOP("SettingsDlg", "USB current"), "Usb current curve setup", "Graph_usbcurrent_setup", 11},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Winding A current"), "Winding A current curve setup", "Graph_currentA_setup", 12},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Winding B current"), "Winding B current curve setup", "Graph_currentB_setup", 13},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Winding C current"), "Winding C current curve setup", "Graph_currentC_setup", 14},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Pwm"), "Pwm curve setup", "Graph_pwm_setup", 15},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Temperature"), "Temperature curve setup", "Graph_temperature_setup", 16},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Joy"), "Joystick curve setup", "Graph_joy_setup", 17},
    {QT_TRANSLATE_NOOP("SettingsDlg", "Pot"), "Potentiometer curve setup", "Graph_pot_setup", 18},
};

QStringList graphPageGroupNames()
{
    QStringList names;
    for (int i = 19; i >= 0; --i) {
        names << QString::fromLatin1(graphPageRows[i].group);
    }
    return names;
}
