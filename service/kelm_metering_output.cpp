// Tickets from a fetched call log: only the calls newer than the last one written, oldest first.
#include "shared/kelm_metering.h"

namespace kelm {

namespace {

// The texts as the collector file holds them, so that a call compares equal to its own ticket.
CKelmMetering::TicketTexts stored(const CKelmMetering::TicketTexts& t)
{
    using platform::XmlDocument;
    return {XmlDocument::storedText(t.dirNumber), XmlDocument::storedText(t.initialDest),
            XmlDocument::storedText(t.corrNumber), XmlDocument::storedText(t.dateOfBegin),
            XmlDocument::storedText(t.dateOfEnd)};
}

} // namespace

void CKelmMetering::remember(const Entry& entry)
{
    hasLastTicket = 1;
    lastIdKnown = entry.hasItemId;
    lastTimeId = entry.timeId;
    lastDiffId = entry.diffId;
    lastTexts = stored(entry.texts);
}

// How many entries, from position 0, are newer than the remembered one. The PBX answers with its
// latest calls, so everything from the remembered entry on was written before: writing it again
// would bill those calls twice.
std::size_t CKelmMetering::newEntries(const std::vector<Entry>& entries)
{
    if (!hasLastTicket)
        return entries.size();
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const Entry& e = entries[k];
        const bool same = lastIdKnown && e.hasItemId ? e.timeId == lastTimeId && e.diffId == lastDiffId
                                                     : stored(e.texts) == lastTexts;
        if (same) {
            if (e.hasItemId && !lastIdKnown)
                remember(e); // from now on known by its item ID
            return k;
        }
    }
    if (entries.size() >= kFullBatch)
        log_.WriteLog(kLevelWarning, kCategoryDebug,
                      "CKelmMetering::OutputXML : the last call written is not in the call log, calls may "
                      "have been missed.");
    return entries.size();
}

bool CKelmMetering::appendTicket(platform::XmlElement root, const Entry& entry,
                                 std::vector<platform::XmlElement>& added)
{
    platform::XmlDocument& doc = *document;
    const platform::XmlElement ticket = doc.createElement("CallAccounting");
    if (!doc.setAttribute(ticket, "subscriber", entry.texts.dirNumber) || !doc.appendChild(root, ticket))
        return false;
    added.push_back(ticket);
    const std::pair<const char*, const std::string*> children[] = {
        {"DirNumber", &entry.texts.dirNumber},     {"initialDest", &entry.texts.initialDest},
        {"CorrNumber", &entry.texts.corrNumber},   {"DateOfBegin", &entry.texts.dateOfBegin},
        {"DateOfEnd", &entry.texts.dateOfEnd},
    };
    for (const auto& [name, text] : children) {
        const platform::XmlElement child = doc.createElement(name);
        if (!doc.setText(child, *text) || !doc.appendChild(ticket, child))
            return false;
    }
    return true;
}

void CKelmMetering::outputEntries(const std::vector<Entry>& entries)
{
    // A collector file that could not be read at start is tried again: its tickets stay unwritten
    // (the PBX lists the calls again) rather than be written elsewhere.
    if (!document)
        loadCollector();
    const platform::XmlElement root = document ? document->selectFirst("//CallAccountingList") : platform::XmlElement();
    if (!root) {
        log_.WriteLog(kLevelError, kCategoryDebug,
                      "CKelmMetering::OutputXML : no collector file, the calls wait for the next update.");
        log_.WriteLog(kLevelDebug, kCategoryDebug, "CKelmMetering::OutputXML: output to XML.");
        return;
    }

    const std::size_t n = newEntries(entries);
    if (n > 0) {
        std::vector<platform::XmlElement> added;
        added.reserve(n);
        bool built = true;
        for (std::size_t p = n; p-- > 0 && built;)
            built = appendTicket(root, entries[p], added);
        ticketCount += static_cast<std::uint32_t>(added.size());

        if (!built)
            log_.WriteLog(kLevelError, kCategoryDebug,
                          "CKelmMetering::OutputXML : a ticket cannot be built, the calls wait for the next update.");
        if (built && save() != SaveResult::NotSaved) {
            remember(entries.front());
        } else {
            // The memory follows the disk: the batch is taken back and comes again with the next
            // fetch, since the PBX still lists these calls.
            for (const auto& ticket : added)
                document->removeElement(ticket);
            ticketCount -= static_cast<std::uint32_t>(added.size());
        }
    }
    log_.WriteLog(kLevelDebug, kCategoryDebug, "CKelmMetering::OutputXML: output to XML.");
}

} // namespace kelm
