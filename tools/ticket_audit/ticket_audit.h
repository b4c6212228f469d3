#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace kelm::tools {

// The five texts that make a ticket, and a call in the simulated PBX's journal.
using CallTexts = std::array<std::string, 5>; // dirNumber, initialDest, corrNumber, dateOfBegin, dateOfEnd

// The calls of a journal, oldest first. Lines that are not calls are skipped.
std::vector<CallTexts> readJournal(const std::filesystem::path& journal);

// The tickets of the collector file base.xml in directory and of its backups (base_*.xml), in
// the order they were written: backups by age, the collector file last.
std::vector<CallTexts> readTickets(const std::filesystem::path& directory, const std::string& base = "TicketCollector");

struct Audit {
    std::size_t callsMade = 0;
    std::size_t tickets = 0;
    std::size_t duplicates = 0;    // tickets of a call written before
    std::size_t missing = 0;       // calls older than the newest ticketed one without a ticket
    std::size_t outOfOrder = 0;    // tickets of a call older than the ticket before
    std::size_t foreign = 0;       // tickets of no call in the journal
    std::size_t notYetFetched = 0; // calls newer than the newest ticketed one
    bool clean() const { return duplicates == 0 && missing == 0 && outOfOrder == 0 && foreign == 0; }
};

Audit audit(const std::vector<CallTexts>& calls, const std::vector<CallTexts>& tickets);

// One line with every count.
std::ostream& operator<<(std::ostream& out, const Audit& audit);

} // namespace kelm::tools
