#ifndef RECORDINGPROMPTER_H
#define RECORDINGPROMPTER_H

#include "common/MessagePrompter.h"

#include <QStringList>

#include <functional>

// Answers every message box with Ok and keeps its text; a box the program ends while it is
// "open" (dismiss) answers NoButton.
class RecordingPrompter : public MessagePrompter
{
public:
    QStringList texts;
    // Runs while a box is "open", as the user's event loop would.
    std::function<void()> whileOpen;
    bool dismissed = false;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        texts << text;
        dismissed = false;
        open = true;
        if (whileOpen)
            whileOpen();
        open = false;
        return dismissed ? QMessageBox::NoButton : QMessageBox::Ok;
    }
    void dismiss() override { dismissed = dismissed || open; }

private:
    bool open = false;
};

#endif // RECORDINGPROMPTER_H
