#include "datafolder.h"

#include "logsink.h"
#include "persist.h"

#include <sys/stat.h>
#include <unistd.h>

namespace trovsim {

bool DataFolder::ensure()
{
    if (path_.empty())
        return false;
    int s = state_.load();
    if (s != 0)
        return s > 0;
    if (makeFolder(path_)) {
        state_.store(1);
        return true;
    }
    int expected = 0;
    if (state_.compare_exchange_strong(expected, -1))
        LogSink::instance().post(2, "data folder " + path_ + " cannot be used; controller memories stay in memory");
    return false;
}

bool DataFolder::exists() const
{
    if (inMemory())
        return false;
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace trovsim
