// Arbitrary bytes as the script window's settings (and their defaults) and as a script file that
// the user loads: the window stays within the screen, and the editor holds either the whole file
// or what it held before.
#include "tests/fuzz/FuzzInput.h"
#include "tests/support/RecordingPrompter.h"
#include "common/FileChooser.h"
#include "common/IniSettings.h"
#include "scriptdlg/ScriptDlg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTextEdit>

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

class FuzzChooser : public FileChooser
{
public:
    QString path;
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return path; }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static FuzzChooser chooser;
    // A refused file is told in one box.
    static RecordingPrompter prompter;
    static ScriptDlg* dialog = [] {
        chooser.path = dir.filePath(QStringLiteral("input.txt"));
        FileChooser::install(&chooser);
        MessagePrompter::install(&prompter);
        return new ScriptDlg(nullptr, nullptr, QStringLiteral("fuzz"), dir.filePath(QStringLiteral("scratch.txt")),
                             QString());
    }();
    if (!writeFuzzInput(chooser.path, data, size))
        return 0;
    IniSettings file(chooser.path);
    IniSettings defaults(chooser.path);
    dialog->FromSettingsToUi(&file, &defaults);
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    check(dialog->width() <= screen.width() && dialog->height() <= screen.height());

    dialog->editor()->setPlainText(QStringLiteral("before"));
    prompter.texts.clear();
    dialog->findChild<QPushButton*>(QStringLiteral("loadBtn"))->click();
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(reinterpret_cast<const char*>(data),
                                                                        static_cast<int>(size), &state);
    const bool valid = state.invalidChars == 0 && state.remainingChars == 0;
    QTextDocument expected;
    expected.setPlainText(valid ? text : QStringLiteral("before"));
    check(dialog->editor()->toPlainText() == expected.toPlainText());
    check(prompter.texts.size() == (valid ? 0 : 1));
    dialog->hide();
    return 0;
}
