#ifndef LOGANDBOXES_H
#define LOGANDBOXES_H

#include "log/LibraryLog.h"
#include "log/MessageLog.h"
#include "support/RecordingPrompter.h"
#include "trov.h"

// The program log and the message boxes, in place while this lives; with libraryLines the
// library's own lines go into the log too.
struct LogAndBoxes
{
    MessageLog log;
    RecordingPrompter prompter;
    explicit LogAndBoxes(bool libraryLines = false)
    {
        messageLog = &log;
        MessagePrompter::install(&prompter);
        if (libraryLines)
            set_logging_callback(libraryLogCallback);
    }
    ~LogAndBoxes()
    {
        set_logging_callback(nullptr);
        MessagePrompter::install(nullptr);
        messageLog = nullptr;
    }
};

#endif // LOGANDBOXES_H
