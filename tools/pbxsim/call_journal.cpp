#include "tools/pbxsim/call_journal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kelm::pbxsim {

CallJournal::~CallJournal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool CallJournal::open(const std::string& path, std::string& error)
{
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = "cannot open the journal " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool CallJournal::append(const CallRecord& call)
{
    if (fd_ < 0)
        return true;
    const std::string line = formatCallLine(call) + '\n';
    ssize_t n;
    do {
        n = ::write(fd_, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(line.size());
}

} // namespace kelm::pbxsim
