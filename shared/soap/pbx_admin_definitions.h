// Definitions of the PBX's admin SOAP interface, read by soapcpp2 at build time (never compiled
// directly). soapcpp2 generates from this file the message types, their serialisers, the client
// calls and the server dispatch; the proxy class XmlAdminServiceSoap is written by hand over them.
//
// Simple types, the two enumerations and the array marker have custom serializers
// (text_serializer.cpp, number_serializers.cpp, enum_serializers.cpp, array_marker.cpp): the PBX
// expects the older byte-level rules for text and reads numbers, booleans and enumerations
// leniently.
//
// Members are listed in wire order. Occurrence 1 is a required member, 0 an optional one;
// optional simple members are pointers (absent = null). Structured and array members are always
// pointers and are left out of the output when null.

//gsoap kelm1 service name:      XmlAdminService
//gsoap kelm1 service style:     rpc
//gsoap kelm1 service encoding:  encoded
//gsoap kelm1 service namespace: http://ws.corvane.example/admin
//gsoap kelm1 service location:  http://localhost:8080/services/XmlAdmin
//gsoap kelm2 schema namespace:  http://ws.corvane.example/admin/types

//gsoap kelm1 service method-action: loginAdmin "loginAdmin"
//gsoap kelm1 service method-action: logoutAdmin "logoutAdmin"
//gsoap kelm1 service method-action: getUsers "getUsers"
//gsoap kelm1 service method-action: getUserByNumber "getUserByNumber"
//gsoap kelm1 service method-action: setUsers "setUsers"
//gsoap kelm1 service method-action: deleteUsers "deleteUsers"
//gsoap kelm1 service method-action: getPbxLines "getPbxLines"
//gsoap kelm1 service method-action: getLine "getLine"
//gsoap kelm1 service method-action: getLocalCallLog "getLocalCallLog"
//gsoap kelm1 service method-action: getZEBGlobalProperties "privateZeb"

#include <string>
#include <ctime>

extern class std::string;

// ---- simple types with custom serializers ---------------------------------------------------

extern typedef std::string xsd__string;  // Latin-1 bytes, one per character
extern typedef int xsd__int;
extern typedef long long xsd__long;
extern typedef bool xsd__boolean;

// Held as 32-bit integers: any integer the PBX sends is kept, named or not.
enum class kelm2__PwdStatus_ { ok = 0, blocked = 1, mustBeChanged = 2 };
extern typedef enum class kelm2__PwdStatus_ kelm2__PwdStatus;

enum class kelm2__License_ { _3141Softphone = 0 };
extern typedef enum class kelm2__License_ kelm2__License;

// Attribute of every array type: written as xsi:type="SOAP-ENC:Array" whatever it holds; when an
// array is read it checks the declared count and offset before the array is allocated.
extern typedef char kelmArrayMark;

// ---- arrays (SOAP-encoded; items are references, a null item is skipped) --------------------

class kelm2__User;
class kelm2__Line;
class kelm2__RejectedLine;
class kelm2__PbxLine;
class kelm2__LocalCallLogElt;
class kelm2__ShortZEBUser;

class kelm2ArrayOfUser {
public:
    kelm2__User **__ptr;
    int __size;
    @kelmArrayMark xsi__type 1;
};

class kelm2ArrayOfLine {
public:
    kelm2__Line **__ptr;
    int __size;
    @kelmArrayMark xsi__type 1;
};

class kelm2ArrayOfRejectedLine {
public:
    kelm2__RejectedLine **__ptr;
    int __size;
    @kelmArrayMark xsi__type 1;
};

class kelm2ArrayOfString {
public:
    xsd__string **__ptr;
    int __size;
    @kelmArrayMark xsi__type 1;
};

class kelm2ArrayOfPbxLine {
public:
    kelm2__PbxLine **__ptr;
    int __size;
    @kelmArrayMark xsi__type 1;
};

class kelm2ArrayOfLocalCallLogElt {
public:
    kelm2__LocalCallLogElt **__ptr;
    int __size;
    @kelmArrayMark xsi__type 1;
};

class kelm2ArrayOfShortZEBUser {
public:
    kelm2__ShortZEBUser **__ptr;
    int __size;
    @kelmArrayMark xsi__type 1;
};

// ---- session ---------------------------------------------------------------------------------

class kelm2__AdminLogin {
public:
    xsd__string loginName 1;
    xsd__string password 1;
};

class kelm2__VroStatus {
public:
    xsd__int code 1;
    xsd__string label 1;
};

class kelm2__VroLogonAdminResult {
public:
    kelm2__VroStatus *status 1;
    xsd__string sessionId 1;
};

// ---- call log ----------------------------------------------------------------------------------

class kelm2__GetLocalCallLogInvoke {
public:
    xsd__string *sessionId 0;
    xsd__long nbItemFromEnd 1;
};

class kelm2__ItemId {
public:
    xsd__long timeId 1;
    xsd__long diffId 1;
};

class kelm2__LocalCallLogElt {
public:
    kelm2__ItemId *itemId 0;
    xsd__string *dirNumber 0;
    xsd__string *corrNumber 0;
    xsd__string *initialDest 0;
    xsd__string *dateOfBegin 0;
    xsd__string *dateOfEnd 0;
};

class kelm2__LocalCallLogResult {
public:
    kelm2__VroStatus *status 0;
    xsd__int total 1;
    kelm2ArrayOfLocalCallLogElt *content 0;
    xsd__string *extension 0;
};

// ---- users -------------------------------------------------------------------------------------

class kelm2__GetUsersInvoke {
public:
    xsd__string sessionId 1;
    xsd__int index 1;
    xsd__int nbItems 1;
};

class kelm2__GetUserByNumberInvoke {
public:
    xsd__string sessionId 1;
    xsd__string dirNumber 1;
};

class kelm2__Line {
public:
    xsd__string dirNumber 1;
    kelm2__License license 1;
    xsd__boolean nomadic 1;
    xsd__boolean nomadicOnPersonalSet 1;
    xsd__boolean nomadicOnVoip 1;
    xsd__boolean nomadicDynamicCnx 1;
    xsd__boolean nomadicStaticCnx 1;
    xsd__boolean autoOrig 1;
    xsd__string setType 1;
    xsd__string secretCode 1;
    xsd__int facCategory 1;
    xsd__string pin 1;
    xsd__boolean withSecCode 1;
    xsd__string tandem 1;
    xsd__boolean tandemMain 1;
    xsd__string vmailNumber 1;
    xsd__string vmailType 1;
};

class kelm2__User {
public:
    xsd__string name 1;
    xsd__string firstName 1;
    xsd__string loginName 1;
    xsd__string password 1;
    xsd__string mainNumber 1;
    xsd__int tsaId 1;
    kelm2__PwdStatus pwdStatus 1;
    kelm2ArrayOfLine *lines 1;
};

class kelm2__UsersResult {
public:
    kelm2__VroStatus *status 1;
    xsd__int total 1;
    kelm2ArrayOfUser *users 1;
};

class kelm2__SetUsersInvoke {
public:
    xsd__string sessionId 1;
    kelm2ArrayOfUser *users 1;
};

class kelm2__DeleteUsersInvoke {
public:
    xsd__string sessionId 1;
    kelm2ArrayOfString *users 1;
};

class kelm2__RejectedLine {
public:
    xsd__string dirNumber 1;
    kelm2__License license 1;
};

class kelm2__AdminStatus {
public:
    kelm2__VroStatus *status 1;
    kelm2ArrayOfRejectedLine *content 1;
};

// ---- lines -------------------------------------------------------------------------------------

class kelm2__GetPbxLinesInvoke {
public:
    xsd__string sessionId 1;
    xsd__string firstLine 1;
    xsd__string lastLine 1;
};

class kelm2__GetLineInvoke {
public:
    xsd__string sessionId 1;
    xsd__string line 1;
};

class kelm2__PbxLine {
public:
    xsd__string dirNumber 1;
    xsd__string name 1;
    xsd__string firstName 1;
    xsd__string setType 1;
    xsd__string vmailNumber 1;
    xsd__string vmailType 1;
    xsd__string language 1;
    xsd__boolean softPhone 1;
};

class kelm2__PbxLinesResult {
public:
    kelm2__VroStatus *status 1;
    xsd__int total 1;
    kelm2ArrayOfPbxLine *pbxLines 1;
};

// ---- global properties (service XmlZeb) --------------------------------------------------------
// A member name holding "_" is declared with _USCORE: a plain "_" would be read as "-".

class kelm2__ShortZEBUser {
public:
    xsd__string name 1;
    xsd__string name2 1;
    xsd__string firstName 1;
    xsd__string firstName2 1;
    xsd__string loginName 1;
    xsd__string mainNumber 1;
    xsd__string site 1;
    xsd__long pwdStatus 1;
    xsd__string extension1 1;
    xsd__string extension2 1;
    xsd__string extension3 1;
};

class kelm2__ZEBGlobalProperties {
public:
    xsd__string guid 1;
    xsd__string name 1;
    xsd__string ipAddress 1;
    xsd__long httpPort 1;
    xsd__long httpsPort 1;
    xsd__long siteType 1;
    time_t lastSyncDate 1;
    xsd__string syncInfo 1;
    xsd__long localPbkState 1;
    xsd__string modemNumber 1;
    xsd__long v24port 1;
    xsd__string api_USCOREversion 1;
    xsd__string zeb_USCORErelease 1;
    xsd__string zeb_USCOREcpuid 1;
    xsd__string onlineUpdate_USCOREurl 1;
    xsd__long defaultOnlineUpdate_USCOREenabled 1;
    xsd__long defaultOnlineUpdate_USCOREbyUser 1;
    xsd__long defaultOnlineUpdate_USCOREcheck 1;
    xsd__long defaultOnlineUpdate_USCOREauto 1;
    xsd__long onlineUpdate_USCOREoneTouchUpdate 1;
    xsd__string onlineUpdate_USCOREpath 1;
    xsd__long onlineUpdate_USCORElan 1;
    xsd__string quillo_USCORElastVersion 1;
    xsd__long defaultVmailNotificationOptions 1;
    xsd__long defaultCallNotificationOptions 1;
    xsd__long defaultQuillo_USCOREprofil 1;
    xsd__long defaultQuillo_USCOREtopology 1;
    xsd__string zeb_USCOREcustomerIDName 1;
    xsd__string zeb_USCOREcustomerIDAddress 1;
    xsd__string zeb_USCOREcustomerIDPerson 1;
    xsd__string zeb_USCOREcustomerPhone 1;
    xsd__string zeb_USCOREcustomerFax 1;
    xsd__string vmailNotification_USCOREserver 1;
    xsd__long vmailNotification_USCOREinService 1;
    xsd__string voIpBoardAddress 1;
    kelm2ArrayOfString *availableLanguages 1;
    xsd__string extension1 1;
    xsd__string extension2 1;
    xsd__string extension3 1;
    kelm2ArrayOfShortZEBUser *shortZEBUser 1;
};

class kelm2__ZEBGlobalPropertiesResult {
public:
    kelm2__VroStatus *status 1;
    kelm2__ZEBGlobalProperties *zebGlobalProperties 1;
};

// ---- operations (rpc/encoded; the part is the one parameter, the result the response part) -----

int kelm1__loginAdmin(kelm2__AdminLogin *invoke, kelm2__VroLogonAdminResult *&loginResult);
int kelm1__logoutAdmin(xsd__string sessionId, kelm2__VroStatus *&status);
int kelm1__getUsers(kelm2__GetUsersInvoke *invoke, kelm2__UsersResult *&result);
int kelm1__getUserByNumber(kelm2__GetUserByNumberInvoke *invoke, kelm2__UsersResult *&result);
int kelm1__setUsers(kelm2__SetUsersInvoke *invoke, kelm2__AdminStatus *&result);
int kelm1__deleteUsers(kelm2__DeleteUsersInvoke *invoke, kelm2__AdminStatus *&result);
int kelm1__getPbxLines(kelm2__GetPbxLinesInvoke *invoke, kelm2__PbxLinesResult *&result);
int kelm1__getLine(kelm2__GetLineInvoke *invoke, kelm2__PbxLinesResult *&result);
int kelm1__getLocalCallLog(kelm2__GetLocalCallLogInvoke *invoke, kelm2__LocalCallLogResult *&result);
int kelm1__getZEBGlobalProperties(xsd__string sessionId, kelm2__ZEBGlobalPropertiesResult *&result);
