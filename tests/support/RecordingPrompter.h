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
    // Called with each box, to look at the program while the box is up.
    std::function<void()> whileShown;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        texts << text;
        if (whileShown)
            whileShown();
        return QMessageBox::Ok;
    }
};

#endif // RECORDINGPROMPTER_H
