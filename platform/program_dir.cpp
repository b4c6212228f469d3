#include "platform/program_dir.h"

#include <climits>
#include <unistd.h>

namespace kelm::platform {

std::string programDirectory()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "./";
    std::string exe(path, static_cast<size_t>(n));
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

} // namespace kelm::platform
