#include "tools/ticket_audit/ticket_audit.h"

#include "platform/xml_document.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace kelm::tools {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The journal's escapes: \\ \t \n \r \xHH.
std::string unescape(const std::string& field)
{
    if (field == "\\-")
        return {};
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 >= field.size()) {
            out.push_back(field[i]);
            continue;
        }
        const char c = field[++i];
        if (c == 't')
            out.push_back('\t');
        else if (c == 'n')
            out.push_back('\n');
        else if (c == 'r')
            out.push_back('\r');
        else if (c == 'x' && i + 2 < field.size() && hexValue(field[i + 1]) >= 0 && hexValue(field[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(field[i + 1]) * 16 + hexValue(field[i + 2])));
            i += 2;
        } else
            out.push_back(c);
    }
    return out;
}

std::vector<std::string> split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator))
        fields.push_back(field);
    return fields;
}

void appendTickets(const std::filesystem::path& file, std::vector<CallTexts>& tickets)
{
    auto loaded = platform::XmlDocument::load(file.string());
    if (!loaded.document)
        return;
    const platform::XmlDocument& doc = *loaded.document;
    const std::size_t count = doc.countElements("CallAccounting");
    for (std::size_t i = 1; i <= count; ++i) {
        const auto ticket = doc.selectFirst("(//CallAccounting)[" + std::to_string(i) + "]");
        CallTexts texts;
        const char* names[] = {"DirNumber", "initialDest", "CorrNumber", "DateOfBegin", "DateOfEnd"};
        for (std::size_t k = 0; k < texts.size(); ++k)
            texts[k] = doc.childText(ticket, names[k]).value_or("");
        tickets.push_back(std::move(texts));
    }
}

} // namespace

std::vector<CallTexts> readJournal(const std::filesystem::path& journal)
{
    std::vector<CallTexts> calls;
    std::ifstream in(journal, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        // TIMEID DIFFID DIRNUMBER CORRNUMBER INITIALDEST DATEOFBEGIN DATEOFEND
        const auto f = split(line, '\t');
        if (f.size() != 7)
            continue;
        calls.push_back({unescape(f[2]), unescape(f[4]), unescape(f[3]), unescape(f[5]), unescape(f[6])});
    }
    return calls;
}

std::vector<CallTexts> readTickets(const std::filesystem::path& directory, const std::string& base)
{
    std::vector<std::pair<std::filesystem::file_time_type, std::filesystem::path>> backups;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind(base + "_", 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".xml") == 0)
            backups.emplace_back(entry.last_write_time(), entry.path());
    }
    std::sort(backups.begin(), backups.end());
    std::vector<CallTexts> tickets;
    for (const auto& backup : backups)
        appendTickets(backup.second, tickets);
    appendTickets(directory / (base + ".xml"), tickets);
    return tickets;
}

Audit audit(const std::vector<CallTexts>& calls, const std::vector<CallTexts>& tickets)
{
    Audit result;
    result.callsMade = calls.size();
    result.tickets = tickets.size();
    std::map<CallTexts, std::size_t> index;
    for (std::size_t i = 0; i < calls.size(); ++i)
        index.emplace(calls[i], i);

    std::vector<bool> ticketed(calls.size(), false);
    long newest = -1;
    long previous = -1;
    for (const auto& ticket : tickets) {
        const auto found = index.find(ticket);
        if (found == index.end()) {
            ++result.foreign;
            continue;
        }
        const long i = static_cast<long>(found->second);
        if (ticketed[found->second])
            ++result.duplicates;
        else if (i < previous)
            ++result.outOfOrder;
        ticketed[found->second] = true;
        previous = i;
        newest = std::max(newest, i);
    }
    for (long i = 0; i < static_cast<long>(calls.size()); ++i) {
        if (i > newest)
            ++result.notYetFetched;
        else if (!ticketed[static_cast<std::size_t>(i)])
            ++result.missing;
    }
    return result;
}

std::ostream& operator<<(std::ostream& out, const Audit& a)
{
    return out << "calls made " << a.callsMade << ", tickets " << a.tickets << ", duplicates " << a.duplicates
               << ", missing " << a.missing << ", out of order " << a.outOfOrder << ", unknown " << a.foreign
               << ", not yet fetched " << a.notYetFetched;
}

} // namespace kelm::tools
