// ticket_audit: checks the collector files of a program directory against the simulated PBX's
// journal and prints what reached them: calls made, tickets, duplicates, missing calls.
#include "tools/ticket_audit/ticket_audit.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr,
                     "usage: ticket_audit JOURNAL DIRECTORY [BASE]\n"
                     "Reads the calls of the simulated PBX's JOURNAL and the tickets of BASE.xml\n"
                     "(default TicketCollector) and its backups in DIRECTORY, and prints the counts.\n"
                     "Exit status 0 when no ticket is duplicated, missing, out of order or foreign.\n");
        return 2;
    }
    const auto calls = kelm::tools::readJournal(argv[1]);
    const auto tickets = kelm::tools::readTickets(argv[2], argc > 3 ? argv[3] : "TicketCollector");
    const auto a = kelm::tools::audit(calls, tickets);
    std::printf("calls made:        %zu\n", a.callsMade);
    std::printf("tickets written:   %zu\n", a.tickets);
    std::printf("duplicates:        %zu\n", a.duplicates);
    std::printf("missing:           %zu\n", a.missing);
    std::printf("out of order:      %zu\n", a.outOfOrder);
    std::printf("unknown tickets:   %zu\n", a.foreign);
    std::printf("not yet fetched:   %zu (made after the last fetch)\n", a.notYetFetched);
    return a.clean() ? 0 : 1;
}
