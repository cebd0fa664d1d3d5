#ifndef RECORDINGPROMPTER_H
#define RECORDINGPROMPTER_H

#include "common/MessagePrompter.h"

#include <QStringList>

#include <functional>

// Answers every message box with Ok and keeps its text.
class RecordingPrompter : public MessagePrompter
{
public:
    QStringList texts;
    // Runs while a box is "open", as the user's event loop would.
    std::function<void()> whileOpen;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        if (whileOpen)
            whileOpen();
        texts << text;
        return QMessageBox::Ok;
    }
};

#endif // RECORDINGPROMPTER_H
