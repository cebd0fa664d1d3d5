#ifndef FILECHOOSER_H
#define FILECHOOSER_H

#include <QString>
#include <QStringList>

class QWidget;

// Asks the user for a file. Pages, dialogs and the chart window ask through current(), so that
// tests can answer in place of the user.
class FileChooser
{
public:
    virtual ~FileChooser() = default;

    // An empty text when the user cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter);
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter);
    // Several files at once; empty when the user cancelled.
    virtual QStringList openFileNames(QWidget* parent, const QString& caption, const QString& folder,
                                      const QString& filter);
    // A name without a suffix gets defaultSuffix before the overwrite question is asked.
    virtual QString saveFileNameWithSuffix(QWidget* parent, const QString& caption, const QString& folder,
                                           const QString& filter, const QString& defaultSuffix);

    // The chooser in use: QFileDialog unless one was installed.
    static FileChooser* current();
    // Installs a chooser (not owned); null puts QFileDialog back.
    static void install(FileChooser* chooser);
};

#endif // FILECHOOSER_H
