#ifndef LIBRARYERRORCAPTURE_H
#define LIBRARYERRORCAPTURE_H

#include <QString>

// Keeps the last error line the controller library logs from this thread while the object
// lives: the library tells why it refused a call only in its log. Nests; one thread only.
class LibraryErrorCapture
{
public:
    LibraryErrorCapture();
    ~LibraryErrorCapture();
    LibraryErrorCapture(const LibraryErrorCapture&) = delete;
    LibraryErrorCapture& operator=(const LibraryErrorCapture&) = delete;

    // Empty when the library logged no error.
    QString lastError() const { return last; }

    // Called by the library's log callback on the thread that made the library call.
    static void offer(int level, const QString& message);

private:
    LibraryErrorCapture* const outer;
    QString last;
};

#endif // LIBRARYERRORCAPTURE_H
