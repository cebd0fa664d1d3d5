#include "log/LibraryErrorCapture.h"

namespace {

thread_local LibraryErrorCapture* innermost = nullptr;

// The library's level of error lines.
constexpr int errorLevel = 1;

} // namespace

LibraryErrorCapture::LibraryErrorCapture() : outer(innermost)
{
    innermost = this;
}

LibraryErrorCapture::~LibraryErrorCapture()
{
    innermost = outer;
}

void LibraryErrorCapture::offer(int level, const QString& message)
{
    if (innermost && level <= errorLevel && !message.isEmpty())
        innermost->last = message;
}
