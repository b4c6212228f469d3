#include "configurator/dialog_configuration_load.h"
#include "record_fixture.h"
#include "shared/config_template.h"

#include <sys/stat.h>

namespace {

using kelm::configurationTemplate;
using kelm::DialogLoadResult;
using kelm::testing::RecordFixture;

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (;;) {
        const auto crlf = text.find("\r\n", from);
        lines.push_back(text.substr(from, crlf - from));
        if (crlf == std::string::npos)
            return lines;
        from = crlf + 2;
    }
}

TEST(ConfigurationTemplateTest, SixtyFourLinesByteForByte)
{
    const std::string text(configurationTemplate());
    const auto lines = splitLines(text);
    ASSERT_EQ(lines.size(), 64u);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1); // line ends are CR LF
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(text.find('\r', text.rfind("\r\n") + 1), std::string::npos);

    const std::string separator(55, '#');
    for (int n : {1, 20, 21, 23, 27, 29, 34, 36, 42, 44, 48, 50, 53, 55, 59, 61, 62, 64})
        EXPECT_EQ(lines[n - 1], separator) << "line " << n;
    const std::pair<int, const char*> named[] = {
        {2, "# XXX_LOG_LEVEL:"},  {6, "# - 4 = ERROR, WARNING, INFO and DEBUG"},
        {9, "# Encoded ZEB FTP password using BASE64 algorithm"},
        {11, "# ZEB_TIMEOUT"},    {19, "#"},
        {22, "# System Version"}, {24, "Corvane Version : "},
        {25, "KELM version: "},   {26, "Configuration application version: "},
        {30, "ZEB_PASSWORD="},    {33, "ZEB_IP_HOSTNAME="},
        {41, "KELM_NETWORK_LOG_LEVEL ="},
        {47, "METERING_COLLECTOR_MAX_TICKET="}, {52, "CALLLOG_LEVEL="},
        {58, "LOG_FILES_MAX_SIZE="}, {60, "# Snapshot TEST report"},
        {63, "# Metering TEST report"},
    };
    for (const auto& [n, line] : named)
        EXPECT_EQ(lines[n - 1], line) << "line " << n;
    std::size_t total = 0;
    for (const auto& line : lines)
        total += line.size();
    EXPECT_EQ(text.size(), total + 2 * 63);
}

class ConfigurationFileTest : public RecordFixture {};

TEST_F(ConfigurationFileTest, FirstSaveOfAnEmptyFileWritesTheTemplateWithTheDefaults)
{
    EXPECT_EQ(kelm::loadDialogConfiguration(*record), DialogLoadResult::Template);
    EXPECT_TRUE(std::filesystem::exists(path("KELM.conf")));
    EXPECT_EQ(readFile("KELM.conf"), ""); // the load never writes

    ASSERT_TRUE(record->OpenConfigurationFile());
    ASSERT_TRUE(record->WriteConfiguration());
    record->CloseConfigurationFile();

    auto expected = splitLines(std::string(configurationTemplate()));
    const std::pair<int, const char*> filled[] = {
        {24, "Corvane Version : unknown"}, {25, "KELM version: unknown"},
        {26, "Configuration application version: unknown"},
        {30, "ZEB_PASSWORD="}, {31, "ZEB_LOG_LEVEL=1"}, {32, "ZEB_TIMEOUT=30"},
        {33, "ZEB_IP_HOSTNAME=unknown"}, {37, "PROXY_IP_HOST_NAME=unknown"},
        {38, "PROXY_PORT_NUMBER=8080"}, {39, "PROXY_USER_NAME=unknown"},
        {40, "PROXY_USER_PASSWORD="}, {41, "KELM_NETWORK_LOG_LEVEL =1"},
        {45, "METERING_COLLECTOR_DIR="}, {46, "METERING_COLLECTOR_FILE=TicketCollector"},
        {47, "METERING_COLLECTOR_MAX_TICKET=2000"}, {51, "CALLLOG_UPDATE_TIMER=10"},
        {52, "CALLLOG_LEVEL=1"}, {56, "GLOBAL_LOG_FILE=LOG.txt"}, {57, "GLOBAL_LOG_LEVEL=1"},
        {58, "LOG_FILES_MAX_SIZE=1000000"},
    };
    for (const auto& [n, line] : filled)
        expected[n - 1] = line;
    std::string joined;
    for (std::size_t i = 0; i < expected.size(); ++i)
        joined += (i ? "\r\n" : "") + expected[i];
    EXPECT_EQ(readFile("KELM.conf"), joined);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConfigurationFileTest, CreatedFileIsReadableByItsOwnerOnly)
{
    record->Initialization();
    struct stat st{};
    ASSERT_EQ(::stat(path("KELM.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ConfigurationFileTest, SavedValuesReadBackAndAShorterValueLeavesNothingBehind)
{
    writeFile("KELM.conf", std::string(configurationTemplate()));
    kelm::loadDialogConfiguration(*record);
    record->zeb.hostName = "a-long-host-name";
    record->zeb.adminPassword = "s3cr&t\xE9";
    record->log.networkLogLevel = 255;
    record->metering.collectorDir = "/var/lib/kelm";
    ASSERT_TRUE(record->OpenConfigurationFile() && record->WriteConfiguration());
    record->CloseConfigurationFile();
    const auto longSize = readFile("KELM.conf").size();

    record->zeb.hostName = "pbx";
    ASSERT_TRUE(record->OpenConfigurationFile() && record->WriteConfiguration());
    record->CloseConfigurationFile();
    const std::string saved = readFile("KELM.conf");
    EXPECT_EQ(saved.size(), longSize - 13);
    EXPECT_EQ(saved.rfind('#'), saved.size() - 1); // ends with the last separator, no remains

    kelm::CKelmDebugLog otherLog(programDir, clock);
    kelm::CKelmService reread(programDir, otherLog, messages);
    EXPECT_EQ(kelm::loadDialogConfiguration(reread), DialogLoadResult::Loaded);
    EXPECT_EQ(reread.zeb.hostName, "pbx");
    EXPECT_EQ(reread.zeb.adminPassword, "s3cr&t\xE9");
    EXPECT_EQ(otherLog.networkLogLevel, 255);
    EXPECT_EQ(reread.metering.collectorDir, "/var/lib/kelm");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConfigurationFileTest, LevelWrittenAsMinusOneReadsAndSavesAs255)
{
    std::string text(configurationTemplate());
    writeFile("KELM.conf", text.replace(text.find("CALLLOG_LEVEL=") + 14, 0, "-1"));
    kelm::loadDialogConfiguration(*record);
    EXPECT_EQ(log->calllogLevel, 255);
    ASSERT_TRUE(record->OpenConfigurationFile() && record->WriteConfiguration());
    record->CloseConfigurationFile();
    EXPECT_NE(readFile("KELM.conf").find("\r\nCALLLOG_LEVEL=255\r\n"), std::string::npos);
}

TEST_F(ConfigurationFileTest, MissingKeysAreReportedInOrderAndTakeTheirDefaults)
{
    writeFile("KELM.conf", "# a hand-written file\r\nZEB_IP_HOSTNAME=10.0.0.7\r\nCALLLOG_UPDATE_TIMER=5\r\n"
                           "METERING_COLLECTOR_MAX_TICKET=\r\n");
    // The constructed record holds zeros; a missing key must not leave them there.
    kelm::loadDialogConfiguration(*record);
    EXPECT_EQ(record->zeb.hostName, "10.0.0.7");
    EXPECT_EQ(record->callLogUpdateTimer, 5);
    EXPECT_EQ(record->metering.maxTicket, 0); // present but empty: 0, no message
    EXPECT_EQ(record->zeb.zebTimeout, 30);
    EXPECT_EQ(record->zeb.proxyPort, 8080);
    EXPECT_EQ(record->metering.collectorFile, "TicketCollector");
    EXPECT_EQ(log->maxSize, 1000000);

    ASSERT_EQ(messages.shown.size(), 17u);
    EXPECT_EQ(messages.shown.front(), "Error|ERROR, Please check Corvane Version in configuration files.");
    EXPECT_EQ(messages.shown[6], "Error|ERROR, Please check PROXY_IP_HOST_NAME in configuration files.");
    EXPECT_EQ(messages.shown.back(), "Error|ERROR, Please check LOG_FILES_MAX_SIZE in configuration files.");
}

TEST_F(ConfigurationFileTest, WriteReportsKeysTheTextLacksAndKeepsOtherLines)
{
    writeFile("KELM.conf", "# keep me\r\nZEB_TIMEOUT=9\r\nlocal note\r\n");
    kelm::loadDialogConfiguration(*record);
    messages.shown.clear();
    record->zeb.zebTimeout = 12;
    ASSERT_TRUE(record->OpenConfigurationFile() && record->WriteConfiguration());
    record->CloseConfigurationFile();
    EXPECT_EQ(readFile("KELM.conf"), "# keep me\r\nZEB_TIMEOUT=12\r\nlocal note\r\n");
    EXPECT_EQ(messages.shown.size(), 19u);
}

TEST_F(ConfigurationFileTest, ValuesLongerThanTheirFieldAreCut)
{
    writeFile("KELM.conf", "#\r\nZEB_IP_HOSTNAME=" + std::string(300, 'h') + "\r\nGLOBAL_LOG_FILE=" +
                               std::string(80, 'f') + "\r\nZEB_PASSWORD=" + std::string(400, 'a') +
                               "\r\nMETERING_COLLECTOR_DIR=" + std::string(1000, 'd') + "\r\n");
    kelm::loadDialogConfiguration(*record);
    EXPECT_EQ(record->zeb.hostName, std::string(19, 'h'));
    EXPECT_EQ(log->fileName, std::string(49, 'f'));
    EXPECT_EQ(record->zeb.adminPassword, std::string(15, '\x66')); // "aa" decodes to 0x66
    EXPECT_EQ(record->metering.collectorDir, std::string(255, 'd'));
}

TEST_F(ConfigurationFileTest, ServiceLoadOfAMissingFileRunsOnDefaultsAndSaysSo)
{
    record->Initialization();
    EXPECT_EQ(readFile("KELM.conf"), "");
    EXPECT_EQ(record->zeb.hostName, "unknown");
    EXPECT_EQ(record->callLogUpdateTimer, 10);
    EXPECT_EQ(readFile("LOG.txt"),
              "Tue Dec 09 18:31:02 2008 DEBUG[1] CKelmService::Initialization : no customer configuration data.\r\n");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConfigurationFileTest, ServiceLoadOpensTheConfiguredTraceLogAfterReading)
{
    std::string text(configurationTemplate());
    text.replace(text.find("GLOBAL_LOG_FILE=") + 16, 0, "trace.log");
    text.replace(text.find("GLOBAL_LOG_LEVEL=") + 17, 0, "4");
    writeFile("KELM.conf", text);
    writeFile("trace.log", "earlier\r\n");
    record->Initialization();
    EXPECT_EQ(readFile("trace.log"),
              "earlier\r\nTue Dec 09 18:31:02 2008 DEBUG[4] CKelmService::Initialization : get customer "
              "configuration data.\r\n");
    EXPECT_EQ(log->sizeCounter(), readFile("trace.log").size());
    EXPECT_FALSE(std::filesystem::exists(path("LOG.txt")));
}

TEST_F(ConfigurationFileTest, AFileHeldByTheOtherProgramIsNeverTakenForAnEmptyOne)
{
    writeFile("KELM.conf", std::string(configurationTemplate()));
    auto holder = kelm::platform::ExclusiveFile::open(path("KELM.conf"),
                                                      kelm::platform::ExclusiveFile::Mode::ReadOnly);
    ASSERT_TRUE(holder);

    EXPECT_EQ(kelm::loadDialogConfiguration(*record), DialogLoadResult::Unreadable);
    EXPECT_EQ(record->configText.str(), "");
    holder.reset();
    ASSERT_TRUE(record->OpenConfigurationFile());
    EXPECT_FALSE(record->WriteConfiguration()) << "a save must not put the defaults over the unread file";
    record->CloseConfigurationFile();
    EXPECT_EQ(readFile("KELM.conf"), std::string(configurationTemplate()));
    holder = kelm::platform::ExclusiveFile::open(path("KELM.conf"), kelm::platform::ExclusiveFile::Mode::ReadOnly);

    record->Initialization();
    EXPECT_NE(readFile("LOG.txt").find("DEBUG[1] CKelmService::Initialization : cannot open configuration file."),
              std::string::npos);
    holder.reset();
    EXPECT_EQ(readFile("KELM.conf"), std::string(configurationTemplate()));
}

} // namespace

namespace {

TEST_F(ConfigurationFileTest, HostResolutionKeepsAnUnresolvedNameAsItIs)
{
    const std::pair<const char*, const char*> cases[] = {
        {"127.0.0.9", "127.0.0.9"},
        {"localhost", "127.0.0.1"},
        {"localhost ", "localhost "}, // a trailing space is part of the name
        {"unknown", "unknown"},
        {"", ""},
    };
    for (const auto& [name, address] : cases) {
        record->zeb.hostName = name;
        record->zeb.sessionId = "old session";
        record->zeb.Initialization();
        EXPECT_EQ(record->zeb.hostAddress, address) << '"' << name << '"';
        EXPECT_TRUE(record->zeb.sessionId.empty());
    }
}

} // namespace
