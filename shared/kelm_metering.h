#pragma once

#include "platform/clock.h"
#include "platform/durable_file.h"
#include "platform/xml_document.h"
#include "shared/fixed_text.h"
#include "shared/kelm_debug_log.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class kelm2__LocalCallLogResult;

namespace kelm {

// The call-accounting collector: turns call-log entries into tickets in the collector file.
// tallyconf holds only its three settings; the operations belong to the service.
class CKelmMetering {
public:
    // The five texts of a ticket, as the PBX sent them (an absent text is empty).
    struct TicketTexts {
        std::string dirNumber;
        std::string initialDest;
        std::string corrNumber;
        std::string dateOfBegin;
        std::string dateOfEnd;
        friend bool operator==(const TicketTexts&, const TicketTexts&) = default;
    };

    // One call-log entry; position 0 of a batch is the newest call.
    struct Entry {
        bool hasItemId = false;
        std::int64_t timeId = 0;
        std::int64_t diffId = 0;
        TicketTexts texts;
    };

    // A full answer: the PBX is asked for this many entries.
    static constexpr std::size_t kFullBatch = 200;

    CKelmMetering(CKelmDebugLog& log, std::string programDirectory,
                  const platform::Clock& clock = platform::systemClock(),
                  platform::FileOps& fileOps = platform::DurableFile::systemFileOps())
        : log_(log), programDirectory_(std::move(programDirectory)), clock_(clock), files_(fileOps)
    {
    }

    // Opens the collector file, or creates it, and finds the last ticket already written.
    void Initialization();
    // Appends one ticket per new entry of a fetched call log and saves the file.
    void OutputXML(kelm2__LocalCallLogResult* const* callLogResult);
    void outputEntries(const std::vector<Entry>& entries);
    // Saves the collector file and, at the ticket limit, turns it into a backup and begins anew.
    bool FileBackup();
    void CreateXML();
    void ReleaseXML();

    // The collector file's path; says so in the trace when the configured directory is missing.
    std::string collectorPath();

    // Remembered entry: the newest call written so far. Its item ID is unknown when it comes
    // from the files at start; it is then recognised by its texts.
    int hasLastTicket = 0;
    bool lastIdKnown = false;
    std::int64_t lastTimeId = 0;
    std::int64_t lastDiffId = 0;
    TicketTexts lastTexts; // as stored in the collector file

    std::optional<platform::XmlDocument> document;
    FixedText<256> collectorDir;  // METERING_COLLECTOR_DIR
    FixedText<20> collectorFile;  // METERING_COLLECTOR_FILE, base name without ".xml"
    std::uint32_t ticketCount = 0;
    std::int32_t maxTicket = 0;   // METERING_COLLECTOR_MAX_TICKET, compared as unsigned

private:
    enum class SaveResult {
        NotSaved,     // the collector file keeps its old content
        Saved,        // the tickets are on disk, but the due roll-over did not complete
        Complete,     // saved, and rolled over where due
    };

    std::string directoryOfFiles(bool announceMissing);
    void loadCollector();
    void rememberLastTicketOnDisk();
    bool keepAside(const std::string& path);
    SaveResult save();
    SaveResult rollOver(const std::string& path);
    std::optional<std::string> timeStamp(const char* separator);
    std::size_t newEntries(const std::vector<Entry>& entries);
    bool appendTicket(platform::XmlElement root, const Entry& entry, std::vector<platform::XmlElement>& added);
    void remember(const Entry& entry);

    CKelmDebugLog& log_;
    std::string programDirectory_;
    const platform::Clock& clock_;
    platform::DurableFile files_;
};

} // namespace kelm
