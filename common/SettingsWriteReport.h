#ifndef SETTINGSWRITEREPORT_H
#define SETTINGSWRITEREPORT_H

#include <QString>

#include <functional>

class QWidget;

// Tells the user that the program's own settings could not be written. Those files are
// written again and again (on changes, at exit): each is reported once a session, with one log
// line and one message box, and a configuration folder already reported at start-up is not
// reported again file by file. Used from the GUI thread.
class SettingsWriteReport
{
public:
    using LogLine = std::function<void(const QString&)>;

    static void fileFailed(QWidget* parent, const QString& path, const QString& reason, const LogLine& log);

    // Makes the configuration folder when it is missing and tries a write in it: the reason it
    // cannot be used, or an empty text.
    static QString checkFolder(const QString& folder);
    // The start-up message about a folder that checkFolder refused; a full disk is told as one,
    // for what fits on it is still kept.
    static void folderFailed(QWidget* parent, const QString& folder, const QString& reason, const LogLine& log);

    // The folder of path was reported unusable this session: other savers only log their failure there.
    static bool folderReported(const QString& path);

    // A new session: everything may be reported again.
    static void forget();
};

#endif // SETTINGSWRITEREPORT_H
