// Arbitrary bytes as the configuration or profile file that the slider page restores from (and
// as its defaults file): the bounds it then stores are within the boxes' range, every group is
// left again, and settings.ini is never written.
#include "tests/fuzz/FuzzInput.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "settingsdlg/PageSliderSetupWgt.h"
#include "settings_model/SliderSettings.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("profile.cfg"));
    static SliderSettings record;
    static PageSliderSetupWgt page(nullptr, &record);
    if (!writeFuzzInput(path, data, size))
        return 0;
    IniSettings file(path);
    for (QSettings* defaults : {static_cast<QSettings*>(nullptr), static_cast<QSettings*>(&file)}) {
        page.RestoreFromFile(&file, defaults);
        page.FromUiToClass();
        check(record.leftPoint >= -2147483647 && record.rightPoint >= -2147483647);
        check(file.group().isEmpty());
    }
    check(!QFile::exists(settingsIniPath()));
    return 0;
}
