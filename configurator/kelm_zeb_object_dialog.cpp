// The session client's operations that only tallyconf's connection test uses.
#include "shared/kelm_zeb_object.h"
#include "shared/soap/namespace_tables.h"
#include "shared/text_format.h"

#include <algorithm>

namespace kelm {

int CKelmZebObject::ZebGetUsers()
{
    int total = 0;
    prepare("/services/XmlAdmin");
    kelm2__GetUsersInvoke invoke;
    invoke.sessionId = sessionId;
    invoke.index = 0;
    invoke.nbItems = kUsersItems;
    kelm2__UsersResult* result = nullptr;
    if (adminService.getUsers(&invoke, result) == 0 && result != nullptr && result->total > 0) {
        total = result->total;
        log_.WriteLog(kLevelInfo, kCategoryDebug, formatText("CKelmZebObject::ZebGetUsers total:%d", total));
        const kelm2ArrayOfUser* users = result->users;
        const int listed = users != nullptr && users->__ptr != nullptr ? users->__size : 0;
        const int traced = std::min({total, kUsersItems, listed});
        for (int i = 0; i < traced; ++i) {
            const kelm2__User* user = users->__ptr[i];
            if (user == nullptr)
                continue;
            const kelm2ArrayOfLine* lines = user->lines;
            const bool hasLine = lines != nullptr && lines->__ptr != nullptr && lines->__size > 0 &&
                                 lines->__ptr[0] != nullptr;
            log_.WriteLog(kLevelInfo, kCategoryZeb,
                          formatText("FirstName[%s] SurName[%s] Number[%s] LoginName[%s] Line[%s]",
                                     user->firstName.c_str(), user->name.c_str(), user->mainNumber.c_str(),
                                     user->loginName.c_str(), hasLine ? lines->__ptr[0]->dirNumber.c_str() : ""));
        }
        log_.WriteLog(kLevelDebug, kCategoryZeb, "CKelmZebObject::ZebGetUsers.");
    }
    ReleaseMessageStorage();
    return total;
}

bool CKelmZebObject::ZebGetZEBGlobal()
{
    // The XmlZeb service answers in its own namespaces: its table is in place for this call only.
    if (adminService.soap != nullptr)
        soap_set_namespaces(adminService.soap, pbx_soap::xmlZebNamespaces());
    prepare("/services/XmlZeb");
    kelm2__ZEBGlobalPropertiesResult* result = nullptr;
    const bool answered = adminService.getZEBGlobalProperties(sessionId, result) == 0 && result != nullptr &&
                          result->zebGlobalProperties != nullptr;
    if (answered) {
        zebVersion = result->zebGlobalProperties->zeb_USCORErelease; // cut to the field
        log_.WriteLog(kLevelInfo, kCategoryZeb, formatText("ZEB release: %s", zebVersion.c_str()));
        log_.WriteLog(kLevelDebug, kCategoryZeb, "CKelmZebObject::ZebGetZEBGlobal.");
    }
    ReleaseMessageStorage();
    if (adminService.soap != nullptr)
        soap_set_namespaces(adminService.soap, pbx_soap::xmlAdminNamespaces());
    return answered;
}

} // namespace kelm
