#ifndef RECORDINGPROMPTER_H
#define RECORDINGPROMPTER_H

#include "common/MessagePrompter.h"

#include <QStringList>

// Answers every message box with Ok and keeps its text.
class RecordingPrompter : public MessagePrompter
{
public:
    QStringList texts;
    QMessageBox::StandardButton prompt(QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        texts << text;
        return QMessageBox::Ok;
    }
};

#endif // RECORDINGPROMPTER_H
