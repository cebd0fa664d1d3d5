#ifndef CONFIGURATIONFILES_H
#define CONFIGURATIONFILES_H

#include <QRect>
#include <QString>
#include <QVector>

class IniSaver;
class MainWindow;
class QSettings;

// The single-axis window's configuration files: the controller's own file (the settings
// dialog's program pages, the places and contents of the window and its chart, script and
// settings windows) and the program's settings file (the controller set and the log settings).
class ConfigurationFiles
{
public:
    explicit ConfigurationFiles(MainWindow& window);

    // The defaults file, and its copy beside the program.
    static QString defaultConfigPath();
    static QString appDirDefaultConfigPath();
    void saveAllSettings(const QString& path);
    void loadAllSettings(const QString& path);
    void saveSettingsIni(const QString& path);
    void loadLogSettings(const QString& path, bool apply);
    // Writes the file out; a failure is logged at level 1 and shown, once a session for each
    // file. False on failure.
    bool commitOrReport(IniSaver& file);
    // The window's place in the configuration file.
    void placeToSettings(QSettings* settings);
    void placeFromSettings(QSettings* file, QSettings* defaults);
    // The window's stored place: from the file when it has "fullScreen", else from defaults;
    // false when neither is to be used.
    static bool storedGeometry(QSettings* file, QSettings* defaults, const QVector<QRect>& screens,
                               QRect* geometry, bool* maximised);

private:
    MainWindow& window;
};

#endif // CONFIGURATIONFILES_H
