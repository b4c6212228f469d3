#include "../config/record_fixture.h"
#include "shared/kelm_metering.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

using kelm::CKelmMetering;
using Entry = CKelmMetering::Entry;
namespace fs = std::filesystem;

// Fails the named system call of the durable writes with EIO while failStep is set, after letting
// the first `pass` calls of it through.
class FailingOps : public kelm::platform::FileOps {
public:
    std::string failStep;
    int pass = 0;
    int rename(const std::string& from, const std::string& to) override
    {
        return fail("rename") ? -1 : FileOps::rename(from, to);
    }
    int renameNoReplace(const std::string& from, const std::string& to) override
    {
        return fail("renameNoReplace") ? -1 : FileOps::renameNoReplace(from, to);
    }
    int fsync(int fd) override { return fail("fsync") ? -1 : FileOps::fsync(fd); }

private:
    bool fail(const char* step)
    {
        if (failStep != step || pass-- > 0)
            return false;
        errno = EIO;
        return true;
    }
};

// A call numbered id: its item ID and texts derive from the number.
Entry call(int id, const std::string& dir = "201")
{
    Entry e;
    e.hasItemId = true;
    e.timeId = 1000 + id;
    e.diffId = id;
    e.texts = {dir, "300", "0612345" + std::to_string(id), "2026-12-11 10:" + std::to_string(id),
               "2026-12-11 11:" + std::to_string(id)};
    return e;
}

// A batch as the PBX lists it: newest first, so from `newest` down to `oldest`.
std::vector<Entry> batch(int newest, int oldest)
{
    std::vector<Entry> entries;
    for (int id = newest; id >= oldest; --id)
        entries.push_back(call(id));
    return entries;
}

class CollectorTest : public kelm::testing::RecordFixture {
protected:
    void SetUp() override
    {
        RecordFixture::SetUp();
        log->globalLogLevel = 4;
        metering = makeCollector();
    }
    std::unique_ptr<CKelmMetering> makeCollector()
    {
        auto m = std::make_unique<CKelmMetering>(*log, programDir, clock, ops);
        m->collectorFile = "TicketCollector";
        m->maxTicket = 2000;
        return m;
    }
    // The numbers of the tickets in a file, in file order, from their CorrNumber.
    std::vector<int> ticketsIn(const std::string& name)
    {
        auto loaded = kelm::platform::XmlDocument::load(path(name));
        EXPECT_TRUE(loaded.document) << name;
        std::vector<int> ids;
        for (std::size_t i = 1; loaded.document; ++i) {
            const auto ticket = loaded.document->selectFirst("(//CallAccounting)[" + std::to_string(i) + "]");
            if (!ticket)
                break;
            ids.push_back(std::stoi(loaded.document->childText(ticket, "CorrNumber")->substr(7)));
        }
        return ids;
    }
    static std::vector<int> range(int from, int to)
    {
        std::vector<int> v;
        for (int i = from; i <= to; ++i)
            v.push_back(i);
        return v;
    }
    std::size_t traceCount(const std::string& text) const
    {
        const std::string trace = readFile("LOG.txt");
        std::size_t n = 0;
        for (auto p = trace.find(text); p != std::string::npos; p = trace.find(text, p + 1))
            ++n;
        return n;
    }

    FailingOps ops;
    std::unique_ptr<CKelmMetering> metering;
    const std::string backup = "TicketCollector_20081209_183102.xml";
};

TEST_F(CollectorTest, NewCollectorFileIsTheDeclarationAndTheEmptyRoot)
{
    metering->Initialization();
    EXPECT_EQ(readFile("TicketCollector.xml"),
              "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<CallAccountingList subscriber=\"all\"/>\n");
    EXPECT_EQ(metering->ticketCount, 0u);
    EXPECT_EQ(traceCount("DEBUG[4] CKelmMetering::OutputXML : no xml file exist."), 1u);
    EXPECT_EQ(traceCount("directory does not exist"), 0u);
}

TEST_F(CollectorTest, TicketsAreWrittenOldestFirstWithTheirFiveTexts)
{
    metering->Initialization();
    Entry odd = call(7, "2&<3");
    odd.texts.initialDest = "";
    odd.texts.corrNumber = "061234567\xE9";
    metering->outputEntries({call(9), call(8), odd});
    EXPECT_EQ(metering->ticketCount, 3u);
    const std::string file = readFile("TicketCollector.xml");
    EXPECT_NE(file.find("<CallAccounting subscriber=\"2&amp;&lt;3\"><DirNumber>2&amp;&lt;3</DirNumber>"
                        "<initialDest/><CorrNumber>061234567\xA8\xA6</CorrNumber>"
                        "<DateOfBegin>2026-12-11 10:7</DateOfBegin><DateOfEnd>2026-12-11 11:7</DateOfEnd>"
                        "</CallAccounting><CallAccounting subscriber=\"201\">"),
              std::string::npos)
        << file;
    EXPECT_EQ(metering->lastTimeId, 1009);
    EXPECT_EQ(traceCount("DEBUG[4] CKelmMetering::OutputXML: output to XML."), 1u);
}

TEST_F(CollectorTest, OnlyEntriesNewerThanTheRememberedOneAreWritten)
{
    struct Case {
        const char* name;
        std::vector<Entry> next;
        std::vector<int> written; // after the first batch 3, 2, 1
    };
    Entry sameTimeOtherDiff = call(3);
    sameTimeOtherDiff.diffId = 99;
    sameTimeOtherDiff.texts.corrNumber = "06123458";
    const Case cases[] = {
        {"remembered first: nothing", batch(3, 1), {}},
        {"remembered in the middle", batch(5, 1), {4, 5}},
        {"remembered last", batch(6, 3), {4, 5, 6}},
        {"remembered absent: all", batch(9, 7), {7, 8, 9}},
        {"same timeId, other diffId is new", {sameTimeOtherDiff}, {8}},
    };
    for (const auto& c : cases) {
        fs::remove(path("TicketCollector.xml"));
        auto m = makeCollector();
        m->Initialization();
        m->outputEntries(batch(3, 1));
        const auto savedBefore = fs::last_write_time(path("TicketCollector.xml"));
        m->outputEntries(c.next);
        std::vector<int> expected = {1, 2, 3};
        expected.insert(expected.end(), c.written.begin(), c.written.end());
        EXPECT_EQ(ticketsIn("TicketCollector.xml"), expected) << c.name;
        EXPECT_EQ(m->ticketCount, expected.size()) << c.name;
        if (c.written.empty()) {
            EXPECT_EQ(fs::last_write_time(path("TicketCollector.xml")), savedBefore) << "not saved";
        }
    }
}

TEST_F(CollectorTest, ASlidingLogOfTwoHundredIsWrittenOnceAndAGapIsReported)
{
    metering->Initialization();
    for (int newest = 200; newest <= 260; newest += 20)
        metering->outputEntries(batch(newest, newest - 199));
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(1, 260));
    EXPECT_EQ(traceCount("calls may have been missed"), 0u);

    metering->outputEntries(batch(700, 501)); // the remembered call has left the window
    EXPECT_EQ(traceCount("DEBUG[2] CKelmMetering::OutputXML : the last call written is not in the call log, "
                         "calls may have been missed."),
              1u);
    EXPECT_EQ(metering->ticketCount, 460u);
}

TEST_F(CollectorTest, ExistingFileIsCountedKeptAndExtendedInItsRoot)
{
    std::string tickets;
    for (int i = 0; i < 37; ++i)
        tickets += "<CallAccounting subscriber=\"1\"><DirNumber>1</DirNumber><CorrNumber>x</CorrNumber></CallAccounting>";
    writeFile("TicketCollector.xml", "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<!-- by hand -->"
                                     "<CallAccountingList subscriber=\"all\">" + tickets +
                                     "</CallAccountingList>\n");
    metering->Initialization();
    EXPECT_EQ(metering->ticketCount, 37u);
    EXPECT_EQ(traceCount("CKelmMetering::OutputXML : get current xml data."), 1u);
    metering->outputEntries({call(1)});
    const std::string file = readFile("TicketCollector.xml");
    EXPECT_NE(file.find("<!-- by hand -->"), std::string::npos);
    EXPECT_NE(file.find("</CallAccounting><CallAccounting subscriber=\"201\"><DirNumber>201</DirNumber>"),
              std::string::npos);
    EXPECT_EQ(metering->ticketCount, 38u);
}

TEST_F(CollectorTest, CollectorDirectoryRule)
{
    fs::create_directories(dir / "tickets");
    metering->collectorDir = (dir / "tickets").string();
    metering->Initialization();
    EXPECT_TRUE(fs::exists(dir / "tickets" / "TicketCollector.xml"));

    auto missing = makeCollector();
    missing->collectorDir = (dir / "absent").string();
    missing->Initialization();
    missing->outputEntries({call(1)});
    missing->outputEntries({call(2), call(1)});
    EXPECT_TRUE(fs::exists(path("TicketCollector.xml")));
    EXPECT_EQ(traceCount("DEBUG[1] CKelmMetering::Initialization : Metering collector directory does not exist,you "
                         "should create it! KELM output collector file to current directory! \r\n"),
              3u); // at start and at each save
}

TEST_F(CollectorTest, RollOverAtTheLimitMovesTheWholeBatchIntoTheBackup)
{
    metering->maxTicket = 5;
    metering->Initialization();
    metering->outputEntries(batch(3, 1));
    metering->outputEntries(batch(7, 1)); // crosses the limit: written whole
    EXPECT_EQ(ticketsIn(backup), range(1, 7));
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), std::vector<int>{});
    EXPECT_EQ(metering->ticketCount, 0u);
    EXPECT_EQ(traceCount("CKelmMetering::FileBackup : backup xml file."), 1u);

    metering->outputEntries(batch(9, 1)); // the remembered entry survives the roll-over
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(8, 9));
}

TEST_F(CollectorTest, LimitsOfZeroAndBelowAndRollOversWithinOneSecond)
{
    metering->maxTicket = 0;
    metering->Initialization();
    metering->outputEntries(batch(1, 1));
    metering->outputEntries(batch(2, 1));
    metering->outputEntries(batch(3, 1));
    EXPECT_EQ(ticketsIn(backup), std::vector<int>{1});
    EXPECT_EQ(ticketsIn("TicketCollector_20081209_183102_1.xml"), std::vector<int>{2});
    EXPECT_EQ(ticketsIn("TicketCollector_20081209_183102_2.xml"), std::vector<int>{3});

    fs::remove(path("TicketCollector.xml"));
    auto never = makeCollector();
    never->maxTicket = -1;
    never->Initialization();
    never->outputEntries(batch(300, 101));
    EXPECT_EQ(never->ticketCount, 200u);
    EXPECT_FALSE(fs::exists(path("TicketCollector_20081209_183102_3.xml")));
}

TEST_F(CollectorTest, AFileAlreadyAtTheLimitIsBackedUpAfterTheNextWritingBatch)
{
    metering->maxTicket = 3;
    metering->Initialization();
    metering->maxTicket = 100;
    metering->outputEntries(batch(4, 1));
    auto restarted = makeCollector();
    restarted->maxTicket = 3;
    restarted->Initialization();
    EXPECT_EQ(restarted->ticketCount, 4u);
    EXPECT_FALSE(fs::exists(path(backup)));
    restarted->outputEntries(batch(4, 1)); // nothing new: no save, no backup
    EXPECT_FALSE(fs::exists(path(backup)));
    restarted->outputEntries(batch(5, 1));
    EXPECT_EQ(ticketsIn(backup), range(1, 5));
}

TEST_F(CollectorTest, ARestartContinuesAfterTheLastTicketOnDisk)
{
    metering->maxTicket = 4;
    metering->Initialization();
    metering->outputEntries(batch(3, 1));

    // From the collector file.
    auto second = makeCollector();
    second->maxTicket = 4;
    second->Initialization();
    second->outputEntries(batch(5, 1)); // 4, 5 new; rolls over at 5
    EXPECT_EQ(ticketsIn(backup), range(1, 5));

    // The collector file is empty now: from the newest backup.
    auto third = makeCollector();
    third->Initialization();
    third->outputEntries(batch(7, 1));
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(6, 7));
}

TEST_F(CollectorTest, ARestartRecognisesATicketWhoseTextsTheFileStoresDifferently)
{
    metering->Initialization();
    std::vector<Entry> entries = batch(3, 1);
    entries[0].texts.dateOfEnd = "11:3\x01\xE9"; // a control byte is stored as '?'
    metering->outputEntries(entries);

    auto restarted = makeCollector();
    restarted->Initialization();
    std::vector<Entry> next = batch(4, 1);
    next[1].texts.dateOfEnd = "11:3\x01\xE9";
    restarted->outputEntries(next);
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(1, 4));
}

TEST_F(CollectorTest, AFailedSaveTakesTheBatchBackAndTheNextFetchWritesItOnce)
{
    metering->Initialization();
    metering->outputEntries(batch(2, 1));
    for (const char* step : {"fsync", "rename"}) {
        ops.failStep = step;
        metering->outputEntries(batch(4, 1));
        EXPECT_EQ(metering->ticketCount, 2u) << step;
        EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(1, 2)) << step;
        EXPECT_FALSE(fs::exists(path("TicketCollector.xml.tmp"))) << step;
    }
    EXPECT_EQ(traceCount("DEBUG[1] CKelmMetering::FileBackup : save xml file unsuccessfully."), 2u);
    ops.failStep = "";
    metering->outputEntries(batch(5, 1));
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(1, 5));
}

TEST_F(CollectorTest, AFailedBackupKeepsTheFileAndIsTriedAgainWithTheNextBatch)
{
    metering->maxTicket = 3;
    metering->Initialization();
    ops.failStep = "renameNoReplace";
    metering->outputEntries(batch(3, 1));
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(1, 3));
    EXPECT_EQ(traceCount("CKelmMetering::FileBackup : save backup xml file unsuccessfully."), 1u);
    ops.failStep = "";
    metering->outputEntries(batch(4, 1));
    EXPECT_EQ(ticketsIn(backup), range(1, 4));
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), std::vector<int>{});
}

TEST_F(CollectorTest, ACrashAfterTheBackupLosesNothingAndRepeatsNothing)
{
    metering->maxTicket = 3;
    metering->Initialization();
    metering->outputEntries(batch(2, 1));
    ops.failStep = "fsync"; // the collector is saved, the roll-over's new empty file is not
    ops.pass = 1;
    metering->outputEntries(batch(3, 1));
    ops.failStep = "";
    EXPECT_EQ(ticketsIn(backup), range(1, 3));
    EXPECT_FALSE(fs::exists(path("TicketCollector.xml")));
    EXPECT_EQ(traceCount("CKelmMetering::FileBackup : update current xml file unsuccessfully."), 1u);

    auto restarted = makeCollector(); // the service died here
    restarted->Initialization();
    restarted->outputEntries(batch(4, 1));
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), std::vector<int>{4});
}

TEST_F(CollectorTest, AnUnusableCollectorFileIsKeptAsideNeverLost)
{
    const std::pair<const char*, std::string> cases[] = {
        {"not well-formed", "<CallAccountingList><CallAccounting>"},
        {"no CallAccountingList", "<?xml version=\"1.0\"?><Other/>"},
    };
    for (const auto& [name, content] : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        writeFile("TicketCollector.xml", content);
        auto m = makeCollector();
        m->Initialization();
        EXPECT_EQ(readFile("TicketCollector.damaged_20081209_183102.xml"), content) << name;
        EXPECT_EQ(traceCount("DEBUG[1] CKelmMetering::Initialization : collector file is not a call accounting "
                             "list, kept as TicketCollector.damaged_20081209_183102.xml."),
                  1u)
            << name;
        m->outputEntries({call(1)});
        EXPECT_EQ(ticketsIn("TicketCollector.xml"), std::vector<int>{1}) << name;
    }
}

TEST_F(CollectorTest, AnUnreadableCollectorFileIsNeverReplacedAndTheCallsWait)
{
    fs::create_directories(path("TicketCollector.xml")); // cannot be read as a file, even by root
    metering->Initialization();
    EXPECT_TRUE(fs::is_directory(path("TicketCollector.xml")));
    metering->outputEntries(batch(2, 1));
    EXPECT_TRUE(fs::is_directory(path("TicketCollector.xml")));
    EXPECT_EQ(traceCount("CKelmMetering::OutputXML : no collector file, the calls wait for the next update."), 1u);

    fs::remove(path("TicketCollector.xml"));
    metering->outputEntries(batch(3, 1)); // the file can be made now: nothing was lost
    EXPECT_EQ(ticketsIn("TicketCollector.xml"), range(1, 3));
}

} // namespace
