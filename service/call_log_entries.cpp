// The collector's view of a decoded call-log answer.
#include "shared/kelm_metering.h"
#include "soapH.h"

#include <algorithm>

namespace kelm {

namespace {

std::string textOf(const std::string* text)
{
    return text ? *text : std::string();
}

} // namespace

void CKelmMetering::OutputXML(kelm2__LocalCallLogResult* const* callLogResult)
{
    std::vector<Entry> entries;
    const kelm2__LocalCallLogResult* result = callLogResult ? *callLogResult : nullptr;
    if (result != nullptr && result->content != nullptr && result->content->__ptr != nullptr) {
        const int count = std::min(result->total, result->content->__size);
        entries.reserve(static_cast<std::size_t>(std::max(count, 0)));
        for (int i = 0; i < count; ++i) {
            const kelm2__LocalCallLogElt* e = result->content->__ptr[i];
            if (e == nullptr)
                continue;
            Entry entry;
            entry.hasItemId = e->itemId != nullptr;
            entry.timeId = e->itemId ? e->itemId->timeId : 0;
            entry.diffId = e->itemId ? e->itemId->diffId : 0;
            entry.texts = {textOf(e->dirNumber), textOf(e->initialDest), textOf(e->corrNumber),
                           textOf(e->dateOfBegin), textOf(e->dateOfEnd)};
            entries.push_back(std::move(entry));
        }
    }
    outputEntries(entries);
}

} // namespace kelm
