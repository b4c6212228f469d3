#include "service/collector_files.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <tuple>

namespace kelm {

namespace {

bool allDigits(const std::string& s, std::size_t from, std::size_t count)
{
    if (from + count > s.size())
        return false;
    return std::all_of(s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(from + count),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// The part of a backup's name after base: "_yyyymmdd_hhmmss" then "" or "_N", then ".xml".
// Returns the number N (0 without one), or -1 when the name is not a backup's.
long backupNumber(const std::string& name, const std::string& base)
{
    if (name.size() < base.size() + 20 || name.compare(0, base.size(), base) != 0)
        return -1;
    std::size_t i = base.size();
    if (name[i] != '_' || !allDigits(name, i + 1, 8) || name[i + 9] != '_' || !allDigits(name, i + 10, 6))
        return -1;
    i += 16;
    long number = 0;
    if (name[i] == '_') {
        const std::size_t digits = name.size() - 4 - (i + 1);
        if (digits == 0 || digits > 6 || !allDigits(name, i + 1, digits))
            return -1;
        number = std::stol(name.substr(i + 1, digits));
        i += 1 + digits;
    }
    return name.compare(i, std::string::npos, ".xml") == 0 ? number : -1;
}

std::string numbered(const std::string& stem, int duplicate)
{
    return duplicate == 0 ? stem + ".xml" : stem + "_" + std::to_string(duplicate) + ".xml";
}

} // namespace

std::string collectorFileName(const std::string& directory, const std::string& base)
{
    return directory + base + ".xml";
}

std::string backupFileName(const std::string& directory, const std::string& base,
                           const std::string& dateAndTime, int duplicate)
{
    return numbered(directory + base + "_" + dateAndTime, duplicate);
}

std::string damagedFileName(const std::string& directory, const std::string& base,
                            const std::string& dateAndTime, int duplicate)
{
    return numbered(directory + base + ".damaged_" + dateAndTime, duplicate);
}

std::optional<std::string> newestBackup(const std::string& directory, const std::string& base)
{
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> best;
    std::tuple<long long, std::string, long> bestKey{};
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long number = backupNumber(name, base);
        if (number < 0)
            continue;
        struct stat st{};
        if (::stat((directory + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        auto key = std::make_tuple(mtime, name.substr(base.size(), 16), number);
        if (!best || key > bestKey) {
            best = directory + name;
            bestKey = std::move(key);
        }
    }
    ::closedir(dir);
    return best;
}

} // namespace kelm
