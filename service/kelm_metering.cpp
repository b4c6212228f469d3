// Start of the collector: which file, what it already holds, and the last ticket written.
#include "platform/local_time.h"
#include "service/collector_files.h"
#include "shared/kelm_metering.h"

#include <sys/stat.h>

namespace kelm {

namespace {

constexpr const char* kLastTicketXPath = "(//CallAccounting)[last()]";

} // namespace

std::string CKelmMetering::directoryOfFiles(bool announceMissing)
{
    if (collectorDir.empty())
        return programDirectory_;
    struct stat st{};
    if (::stat(collectorDir.c_str(), &st) == 0)
        return std::string(collectorDir.view()) + "/";
    if (announceMissing)
        log_.WriteLog(kLevelError, kCategoryDebug,
                      "CKelmMetering::Initialization : Metering collector directory does not exist,you "
                      "should create it! KELM output collector file to current directory! ");
    return programDirectory_;
}

std::string CKelmMetering::collectorPath()
{
    return collectorFileName(directoryOfFiles(true), std::string(collectorFile.view()));
}

std::optional<std::string> CKelmMetering::timeStamp(const char* separator)
{
    const std::time_t now = clock_.now();
    const auto date = platform::formatLocalTime(now, "%Y%m%d");
    const auto time = platform::formatLocalTime(now, "%H%M%S");
    if (!date || !time)
        return std::nullopt;
    return *date + separator + *time;
}

void CKelmMetering::CreateXML()
{
    document.emplace();
    platform::XmlElement root = document->createElement("CallAccountingList");
    document->setAttribute(root, "subscriber", "all");
    document->appendToDocument(root);
}

void CKelmMetering::ReleaseXML()
{
    document.reset();
}

void CKelmMetering::Initialization()
{
    loadCollector();
    rememberLastTicketOnDisk();
}

// Moves an unusable collector file out of the way under a name of its own; false when it stays.
bool CKelmMetering::keepAside(const std::string& path)
{
    const auto stamp = timeStamp("_");
    if (!stamp)
        return false;
    const std::string directory = directoryOfFiles(false);
    const std::string base(collectorFile.view());
    for (int duplicate = 0; duplicate < 1000; ++duplicate) {
        const std::string aside = damagedFileName(directory, base, *stamp, duplicate);
        const auto result = files_.moveNew(path, aside);
        if (result == platform::DurableFile::CreateResult::NameTaken)
            continue;
        if (result == platform::DurableFile::CreateResult::Failed)
            return false;
        log_.WriteLog(kLevelError, kCategoryDebug,
                      "CKelmMetering::Initialization : collector file is not a call accounting list, kept as " +
                          aside.substr(directory.size()) + ".");
        return true;
    }
    return false;
}

void CKelmMetering::loadCollector()
{
    const std::string path = collectorPath();
    auto loaded = platform::XmlDocument::load(path);
    ticketCount = 0;

    switch (loaded.status) {
    case platform::XmlLoadStatus::Loaded:
        if (loaded.document->selectFirst("//CallAccountingList")) {
            document = std::move(loaded.document);
            ticketCount = static_cast<std::uint32_t>(document->countElements("CallAccounting"));
            log_.WriteLog(kLevelDebug, kCategoryDebug, "CKelmMetering::OutputXML : get current xml data.");
            return;
        }
        [[fallthrough]];
    case platform::XmlLoadStatus::NotWellFormed:
    case platform::XmlLoadStatus::TooLarge:
        // Its tickets may still matter to someone: it is never overwritten.
        if (!keepAside(path)) {
            document.reset();
            log_.WriteLog(kLevelError, kCategoryDebug,
                          "CKelmMetering::Initialization : collector file is not a call accounting list and "
                          "cannot be kept aside; it is left as it is and no ticket is written.");
            return;
        }
        break;
    case platform::XmlLoadStatus::Unreadable:
        document.reset();
        log_.WriteLog(kLevelError, kCategoryDebug,
                      "CKelmMetering::Initialization : collector file cannot be read; it is left as it is "
                      "and no ticket is written.");
        return;
    case platform::XmlLoadStatus::Missing:
        break;
    }

    CreateXML();
    if (!files_.replace(path, document->serialize().value_or("")))
        log_.WriteLog(kLevelError, kCategoryDebug, "CKelmMetering::FileBackup : save xml file unsuccessfully.");
    log_.WriteLog(kLevelDebug, kCategoryDebug, "CKelmMetering::OutputXML : no xml file exist.");
}

// After a restart the first batch must continue after the last ticket on disk, not repeat the
// calls that the PBX still lists: the newest ticket of the collector file, else of its newest
// backup, is the remembered entry, known by its texts.
void CKelmMetering::rememberLastTicketOnDisk()
{
    auto readLast = [this](const platform::XmlDocument& doc) {
        const platform::XmlElement last = doc.selectFirst(kLastTicketXPath);
        if (!last)
            return false;
        auto text = [&](const char* name) { return doc.childText(last, name).value_or(""); };
        lastTexts = {text("DirNumber"), text("initialDest"), text("CorrNumber"), text("DateOfBegin"),
                     text("DateOfEnd")};
        hasLastTicket = 1;
        lastIdKnown = false;
        return true;
    };
    if (document && readLast(*document))
        return;
    if (const auto backup = newestBackup(directoryOfFiles(false), std::string(collectorFile.view()))) {
        auto loaded = platform::XmlDocument::load(*backup);
        if (loaded.document)
            readLast(*loaded.document);
    }
}

} // namespace kelm
