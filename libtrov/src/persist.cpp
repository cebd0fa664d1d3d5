#include "persist.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trovsim {

namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Drops a comment that starts outside a quoted part.
std::string stripComment(const std::string& s)
{
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quoted && c == '\\') {
            ++i;
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ';' || c == '#'))
            return s.substr(0, i);
    }
    return s;
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool parseIni(const std::string& text, std::vector<IniSection>& sections, std::string* error)
{
    sections.clear();
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trim(stripComment(text.substr(pos, end - pos)));
        pos = end + 1;
        ++lineNo;
        if (line.empty())
            continue;
        auto fail = [&](const char* what) {
            if (error)
                *error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return fail("bad section header");
            IniSection s;
            s.name = trim(line.substr(1, line.size() - 2));
            s.line = lineNo;
            sections.push_back(std::move(s));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            return fail("expected key = value");
        if (sections.empty())
            return fail("key outside a section");
        sections.back().entries.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& out)
{
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return n == 0;
        }
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > (1u << 20)) { // no memory file is ever this large
            ::close(fd);
            return false;
        }
    }
}

bool fileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool writeFileAtomic(const std::string& path, const std::string& text, std::string* error)
{
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int cause = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (!writeAll(fd, text) || ::fsync(fd) != 0)
            cause = errno;
        if (::close(fd) != 0 && cause == 0)
            cause = errno;
        if (cause == 0 && ::rename(tmp.c_str(), path.c_str()) == 0)
            return true;
        if (cause == 0)
            cause = errno;
        ::unlink(tmp.c_str());
    }
    if (error)
        *error = std::strerror(cause);
    return false;
}

bool makeFolder(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) && ::access(path.c_str(), W_OK | X_OK) == 0;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolder(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

int lockFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -2;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void unlockFile(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

} // namespace trovsim
