#ifndef SCRIPTDLG_H
#define SCRIPTDLG_H

#include <QDialog>
#include <QString>

#include <memory>

class MotorSettings;
class QLabel;
class QSettings;
class QStatusBar;
class QTextEdit;
namespace Ui {
class ScriptDlgClass;
}

// The window in which the user writes, loads, saves, starts and stops a script. It runs nothing
// itself: Start and Stop go out as start() and stop() to the owner's ScriptControl, which also
// keeps the buttons in step with its engine. The editor's text survives the program in the
// scratch file.
class ScriptDlg : public QDialog
{
    Q_OBJECT
public:
    // Files above this size are not loaded into the editor.
    static constexpr qint64 maxScriptBytes = 10 * 1024 * 1024;
    static constexpr int messageMs = 2000;

    static QString defaultScratchPath();
    static QString defaultScriptPath();
    // The multi-axis engine has no global motion functions: its windows start from this one.
    static QString defaultMultiaxisScriptPath();

    // settings: the axis' container, kept for the owner (null in the multi-axis window).
    ScriptDlg(QWidget* parent, MotorSettings* settings, const QString& axisName,
              const QString& scratchPath = defaultScratchPath(),
              const QString& defaultScript = defaultScriptPath());
    // Saves the scratch file.
    ~ScriptDlg() override;

    // Second construction step: the start text, the highlighter and the start()/stop() signals.
    void InitUI();

    QTextEdit* editor() const;
    // The editor was filled from the default script, there being no scratch file.
    bool showsDefaultScript() const { return defaultShown; }
    // The text shown in the status bar, empty when none.
    QString statusMessage() const;
    // The whole text of the script error on show, empty when none.
    QString errorMessage() const { return shownError; }

    // Writes the editor's text to the scratch file; false (and a message) when it failed.
    bool saveScratch();
    // The same, when the window or the program ends: a failure is told in a message box that
    // names the file and the reason, and logged, once for a given text.
    bool saveScratchBeforeClose(QWidget* messageParent);

    void FromUiToSettings(QSettings* settings) const;
    void FromSettingsToUi(QSettings* settings, QSettings* defaults);

    // Folders proposed by Load and Save; scriptsPath() while empty.
    QString load_path;
    QString save_path;

signals:
    void start();
    void stop();
    void script_exception(const QString& text);

public slots:
    void OnDialogFinished();
    void OnStartBtnClicked();
    void OnStopBtnClicked();
    void OnLoadBtnClicked();
    void OnSaveBtnClicked();
    // Marks the line being executed (1 = first); 0 only clears the mark.
    void OnScriptExecPositionChanged(int line);
    // Shows the exception (with its line when known, 1 = first), marks that line and emits
    // script_exception with the same text.
    void OnExceptionThrown(const QString& text, int line);

    // Closing the window keeps its text in the scratch file.
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Replaces the editor's text with the file's; on failure the editor keeps its text and the
    // reason comes back.
    bool loadInto(const QString& path, QString* reason);
    bool writeFile(const QString& path, QString* reason);
    bool writeScratch(QString* reason);
    // A failed Load, Save or scratch save: the log line and, with a parent, the message box.
    void tellFailure(QWidget* parent, const QString& text, const QString& path, const QString& reason);
    // A message for messageMs; it takes the place of a shown error.
    void showMessage(const QString& text);
    // The error on one line, cut with an ellipsis to the bar; whole on hover.
    void showError();

    std::unique_ptr<Ui::ScriptDlgClass> ui;
    MotorSettings* const motorSettings;
    QStatusBar* statusBar;
    QLabel* statusLabel = nullptr;
    const QString scratchFile;
    const QString defaultScriptFile;
    // A scratch file that could not be read is not overwritten by an editor the user left alone.
    bool keepUnreadScratch = false;
    bool defaultShown = false;
    QString shownError;
    // The text whose failed scratch save was told.
    bool scratchFailureTold = false;
    QString toldText;
};

#endif // SCRIPTDLG_H
