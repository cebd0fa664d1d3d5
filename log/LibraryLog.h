#ifndef LIBRARYLOG_H
#define LIBRARYLOG_H

#include <cwchar>

class MessageLog;
class QThread;

// The controller library's log callback (set_logging_callback): runs on whatever thread is
// inside the library and passes the text to the program log with the source "libtrov".
void libraryLogCallback(int level, const wchar_t* message);

// Ends the program log in order, on every way out of the program: the library stops calling
// back, the log thread ends, then the log (which writes what is waiting) and its thread are
// deleted. Both pointers are null afterwards.
void stopMessageLog(MessageLog*& log, QThread*& thread);

#endif
