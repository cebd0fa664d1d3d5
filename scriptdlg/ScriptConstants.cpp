#include "scriptdlg/ScriptConstants.h"

#include "trov.h"

const QVector<ScriptConstant>& scriptConstants()
{
#define TROV_SCRIPT_CONSTANT_ENTRY(name) ScriptConstant{#name, int(name)},
    static const QVector<ScriptConstant> constants{TROV_SCRIPT_CONSTANTS(TROV_SCRIPT_CONSTANT_ENTRY)};
#undef TROV_SCRIPT_CONSTANT_ENTRY
    return constants;
}

void setScriptConstants(QScriptValue global)
{
    for (const ScriptConstant& constant : scriptConstants())
        global.setProperty(QString::fromLatin1(constant.name), QScriptValue(constant.value));
}
