#include "tests/support/file_text.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace kelm::test {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path& path, std::string_view content,
               std::filesystem::perms perms)
{
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out.flush())
            throw std::system_error(std::make_error_code(std::errc::io_error),
                                    "cannot write " + path.string());
    }
    std::filesystem::permissions(path, perms);
}

} // namespace kelm::test
