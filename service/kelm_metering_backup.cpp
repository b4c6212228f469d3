// Saving the collector file, and its roll-over into a time-stamped backup at the ticket limit.
#include "service/collector_files.h"
#include "shared/kelm_metering.h"

namespace kelm {

bool CKelmMetering::FileBackup()
{
    return save() == SaveResult::Complete;
}

CKelmMetering::SaveResult CKelmMetering::save()
{
    const std::string path = collectorPath();
    const auto bytes = document ? document->serialize() : std::nullopt;
    if (!bytes || !files_.replace(path, *bytes)) {
        log_.WriteLog(kLevelError, kCategoryDebug, "CKelmMetering::FileBackup : save xml file unsuccessfully.");
        return SaveResult::NotSaved;
    }
    const auto limit = static_cast<std::uint32_t>(maxTicket);
    if (ticketCount < limit)
        return SaveResult::Complete;
    return rollOver(path);
}

// The saved collector file itself becomes the backup (renamed, never copied), so its tickets
// stand under exactly one name at every instant: a crash between the steps neither loses them
// nor leaves them in two files.
CKelmMetering::SaveResult CKelmMetering::rollOver(const std::string& path)
{
    const auto stamp = timeStamp("_");
    if (!stamp) {
        log_.WriteLog(kLevelError, kCategoryDebug, "CKelmMetering::FileBackup: localtime_s error.");
        return SaveResult::Saved;
    }
    const std::string directory = directoryOfFiles(false);
    const std::string base(collectorFile.view());
    auto result = platform::DurableFile::CreateResult::NameTaken;
    // Two roll-overs within one second get _1, _2, ...: a backup is never replaced.
    for (int duplicate = 0; duplicate < 1000 && result == platform::DurableFile::CreateResult::NameTaken; ++duplicate)
        result = files_.moveNew(path, backupFileName(directory, base, *stamp, duplicate));
    if (result != platform::DurableFile::CreateResult::Created) {
        log_.WriteLog(kLevelError, kCategoryDebug, "CKelmMetering::FileBackup : save backup xml file unsuccessfully.");
        return SaveResult::Saved;
    }

    ReleaseXML();
    CreateXML();
    ticketCount = 0;
    // Should this fail, the collector file is simply missing until the next save: a restart then
    // begins a new one and continues after the last ticket of the backup.
    if (!files_.replace(path, document->serialize().value_or(""))) {
        log_.WriteLog(kLevelError, kCategoryDebug,
                      "CKelmMetering::FileBackup : update current xml file unsuccessfully.");
        return SaveResult::Saved;
    }
    log_.WriteLog(kLevelDebug, kCategoryDebug, "CKelmMetering::FileBackup : backup xml file.");
    return SaveResult::Complete;
}

} // namespace kelm
