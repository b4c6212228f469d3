#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"
#include "tools/ticket_audit/ticket_audit.h"

#include <gtest/gtest.h>

namespace {

using kelm::tools::CallTexts;

CallTexts call(int n)
{
    return {"2" + std::to_string(n), "3", "06" + std::to_string(n), "b", "e"};
}

std::vector<CallTexts> calls(std::initializer_list<int> numbers)
{
    std::vector<CallTexts> out;
    for (int n : numbers)
        out.push_back(call(n));
    return out;
}

TEST(TicketAuditTest, CountsWhatWentWrong)
{
    const auto made = calls({1, 2, 3, 4, 5});
    struct Case {
        const char* name;
        std::vector<CallTexts> tickets;
        kelm::tools::Audit expected; // made, tickets, duplicates, missing, outOfOrder, foreign, notYetFetched
    };
    const Case cases[] = {
        {"all once, in order", calls({1, 2, 3, 4, 5}), {5, 5, 0, 0, 0, 0, 0}},
        {"a prefix", calls({1, 2}), {5, 2, 0, 0, 0, 0, 3}},
        {"written twice", calls({1, 2, 1, 2, 3}), {5, 5, 2, 0, 0, 0, 2}},
        {"a gap", calls({1, 3}), {5, 2, 0, 1, 0, 0, 2}},
        {"newest first", calls({2, 1}), {5, 2, 0, 0, 1, 0, 3}},
        {"unknown call", calls({1, 9}), {5, 2, 0, 0, 0, 1, 4}},
    };
    for (const auto& c : cases) {
        const auto a = kelm::tools::audit(made, c.tickets);
        const auto& e = c.expected;
        EXPECT_EQ(std::vector<std::size_t>({a.callsMade, a.tickets, a.duplicates, a.missing, a.outOfOrder, a.foreign,
                                            a.notYetFetched}),
                  std::vector<std::size_t>({e.callsMade, e.tickets, e.duplicates, e.missing, e.outOfOrder, e.foreign,
                                            e.notYetFetched}))
            << c.name;
        EXPECT_EQ(a.clean(), std::string(c.name) == "all once, in order" || std::string(c.name) == "a prefix") << c.name;
    }
}

TEST(TicketAuditTest, ReadsTheJournalAndTheFilesInWritingOrder)
{
    kelm::test::TempDir dir;
    kelm::test::writeFile(dir / "journal", "# comment\n1\t1\t201\t0612\\x09\t300\t2026-12-11 10:00:00\t2026-12-11 10:01:00\r\n"
                                           "-\t-\t202\t\\-\t\\-\t\\xe9\tend\n");
    const auto journal = kelm::tools::readJournal(dir / "journal");
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0], (CallTexts{"201", "300", "0612\x09", "2026-12-11 10:00:00", "2026-12-11 10:01:00"}));
    EXPECT_EQ(journal[1], (CallTexts{"202", "", "", "\xE9", "end"}));

    const std::string head = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<CallAccountingList subscriber=\"all\">";
    auto ticket = [](const char* number) {
        return std::string("<CallAccounting subscriber=\"") + number + "\"><DirNumber>" + number +
               "</DirNumber><initialDest/><CorrNumber/><DateOfBegin/><DateOfEnd/></CallAccounting>";
    };
    kelm::test::writeFile(dir / "TicketCollector_20261211_100000.xml", head + ticket("1") + "</CallAccountingList>");
    std::filesystem::last_write_time(dir / "TicketCollector_20261211_100000.xml",
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    kelm::test::writeFile(dir / "TicketCollector_20261211_110000_1.xml", head + ticket("2") + "</CallAccountingList>");
    kelm::test::writeFile(dir / "TicketCollector.xml", head + ticket("3") + "</CallAccountingList>");
    kelm::test::writeFile(dir / "TicketCollector.damaged_20261211_100000.xml", head + ticket("9") + "</CallAccountingList>");
    const auto tickets = kelm::tools::readTickets(dir.path());
    ASSERT_EQ(tickets.size(), 3u);
    EXPECT_EQ(tickets[0][0], "1");
    EXPECT_EQ(tickets[1][0], "2");
    EXPECT_EQ(tickets[2][0], "3");
}

} // namespace
