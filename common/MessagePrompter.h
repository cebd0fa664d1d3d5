#ifndef MESSAGEPROMPTER_H
#define MESSAGEPROMPTER_H

#include <QMessageBox>
#include <QString>

// Shows a modal message and returns the button pressed. Pages, dialogs and the chart window ask
// through current(), so that tests can answer in place of the user.
class MessagePrompter
{
public:
    virtual ~MessagePrompter() = default;

    virtual QMessageBox::StandardButton prompt(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                               const QString& text, QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton);
    // Ends the prompt on show, which then answers QMessageBox::NoButton: what it asked about has
    // settled itself. Nothing when none is on show.
    virtual void dismiss();


    // The prompter in use: QMessageBox unless one was installed.
    static MessagePrompter* current();
    // Installs a prompter (not owned); null puts QMessageBox back.
    static void install(MessagePrompter* prompter);
};

#endif // MESSAGEPROMPTER_H
