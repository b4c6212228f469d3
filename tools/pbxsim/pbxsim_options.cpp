#include "tools/pbxsim/pbxsim_options.h"

#include "tools/common/help_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <getopt.h>
#include <sstream>
#include <string_view>

namespace kelm::pbxsim {
namespace {

struct OptionDoc {
    const char* name;
    const char* argument; // nullptr: a flag
    const char* text;
};

// One table drives both the parser and --help, so the help never misses an option.
constexpr OptionDoc kOptions[] = {
    {"address", "IPV4",
     "the PBX's own address: TCP 8894 and UDP 8888/8889 are bound to it, the group 224.0.1.111 is "
     "joined on its interface and every answer leaves from it (default 127.0.0.1; another loopback "
     "address such as 127.0.0.2 lets several instances run side by side)"},
    {"password", "TEXT", "the password of the login \"administrator\" (default \"secret\")"},
    {"release", "TEXT", "the software release answered in zeb_release (default \"R2.4.1-sim\")"},
    {"calls-per-second", "RATE",
     "add calls at this steady rate, fractions allowed (0.2: one call every 5 s; default 0, at "
     "most 1000); calls keep coming while the power is off"},
    {"initial-calls", "N",
     "start with N made-up calls, one minute apart and ending now (default 0); they follow the "
     "start log's calls"},
    {"start-log", "FILE",
     "start with the calls of FILE, one per line, oldest first, in the journal's form (below); "
     "empty lines and lines starting with # are skipped, a carriage return ending a line is dropped"},
    {"max-calls", "N",
     "the log keeps the newest N calls and forgets older ones (default 1000, 1 to 1000000)"},
    {"journal", "FILE", "append every call the PBX makes, start log and initial calls included, to FILE"},
    {"first-diff-id", "N",
     "the diffId of the first made-up call (default 1), or one above the highest diffId of the "
     "start log when that is more; 4294967295 and up test the use of its low 32 bits"},
    {"session-lifetime", "SECONDS",
     "a session is refused with code 55 once SECONDS have passed since its login (default 0: "
     "never)"},
    {"user", "NAME,FIRSTNAME,LOGIN,NUMBER[,LINE...]",
     "a user for getUsers; without LINE the user has no lines array; may be repeated; these come "
     "before the generated users"},
    {"users", "N",
     "N generated users after the --user ones: name UserI, first name FirstI, login userI, main "
     "number and one line 1000+I (default 3)"},
    {"users-total", "N", "getUsers answers this total whatever it holds (default: the number of users)"},
    {"io-timeout", "SECONDS",
     "a client's request must arrive, and the answer leave, within SECONDS (each send or receive, "
     "and twice that for the whole request; default 5)"},
    {"hold-timeout", "SECONDS", "with --http-hang, a held connection is closed after SECONDS (default 120)"},
    {"no-udp-answer", nullptr, "misbehave: read the datagrams on 8888/8889 and never answer"},
    {"http-down", nullptr,
     "misbehave: start with TCP 8894 closed (connection refused) while UDP answers; SIGHUP opens it"},
    {"http-hang", nullptr,
     "misbehave: accept every TCP connection and never answer (until the client closes it, or "
     "--hold-timeout)"},
    {"answer-calls", "N",
     "misbehave: getLocalCallLog answers the newest N calls whatever nbItemFromEnd asks for (250: "
     "a total above 200 when the log holds that many)"},
    {"total-excess", "N",
     "misbehave: the call log's total says N more entries than the answer carries"},
    {"non-ascii", nullptr,
     "misbehave: made-up calls carry the byte 233 (e acute, Latin-1) at the end of dirNumber, "
     "dateOfBegin and dateOfEnd"},
    {"calllog-status", "CODE",
     "misbehave: every getLocalCallLog of a valid session answers status CODE (with the entries it "
     "would carry anyway)"},
    {"fetch-delay", "SECONDS",
     "misbehave: getLocalCallLog answers only after SECONDS (the whole simulator waits meanwhile), "
     "so that a client is caught in the middle of a fetch"},
    {"help", nullptr, "show this text"},
};

constexpr const char* kIntro = R"(usage: pbxsim [OPTION...]

A simulated PBX for tests and the demo. It serves the admin SOAP services on TCP 8894 of its
address (paths /services/XmlAdmin and /services/XmlZeb, one request per connection):
  loginAdmin       "administrator" and the password: code 0 and a fresh session ID; anything
                   else: code 1 and no session ID
  logoutAdmin      ends the session (code 0; 55 for a session it does not know)
  getLocalCallLog  the newest nbItemFromEnd calls of its log, NEWEST FIRST (position 0 is the
                   most recent call), total = the entries carried; code 55 and no entries for a
                   session ID it does not know or that expired
  getUsers         users index .. index+nbItems-1 of its list, total = the whole list
  getZEBGlobalProperties (XmlZeb only)  the release text in zeb_release
An operation sent to the other service (path, or service namespace of the other table) is
answered with a SOAP fault, and so are the operations no client of this system calls.
Any datagram to UDP 8888 or 8889 of its address, or to the group 224.0.1.111 on those ports, is
answered with one datagram "pbxsim ADDRESS" from its address and that port, to the sender's
address and port alone (not to a sender on port 8888 or 8889: two PBXs must not answer each
other without end). It makes calls as told below; item IDs increase: timeId (milliseconds since
1970 of the call's end, one above the last when that is not later) and diffId (one above the last).
Made-up calls are numbered n = 1, 2, ...: dirNumber 2XX, corrNumber 06XXXXXXXX, initialDest equal
to corrNumber, except for every fourth call (a transfer), whose initialDest is another 2XX;
dates as local "YYYY-MM-DD HH:MM:SS".

Controls (signals):
  SIGUSR1          expire every session (each is then refused with code 55)
  SIGUSR2          power off / on: off closes TCP 8894 (connection refused), drops held
                   connections, forgets every session and answers no datagram; calls keep
                   coming; on opens the port again (unless the HTTP service is down)
  SIGHUP           HTTP service down / up: TCP 8894 closed or open while the power is on
  SIGTERM, SIGINT  end cleanly (exit 0)

Output: one line per event on standard output, written at once, as "SECONDS EVENT DETAILS" with
the seconds since the start; texts from clients are escaped (space as \x20):
  start address=.. tcp=8894 udp=8888,8889 group=224.0.1.111 ... (every setting; printed once
                   the ports are open, after the calls lines of the start: wait for it)
  calls added=N from=start-log|initial log=SIZE / call TIMEID/DIFFID dir=.. (each made-up call later)
  login session=ID peer=IP:PORT (at most 64 sessions are kept, the oldest dropped first)
  login refused loginName=.. code=1 peer=..
  logout session=ID status=0|55
  delay seconds=S (with --fetch-delay) / fetch session=ID nbItemFromEnd=N status=S total=T entries=E
  users session=ID index=I nbItems=N status=S total=T users=U
  properties session=ID status=S release=TEXT
  fault operation=NAME reason=.. peer=.. / http error code=N peer=..
  hold peer=.. / release peer=.. reason=closed|timeout|limit|power-off|http-down|stop
                   (with --http-hang; at most 64 are held, the oldest released first)
  probe from=IP:PORT port=P via=address|group answered|ignored reason=..
  control SIGNAME ... / power off|on / http down|up / stop SIGNAME
Exit status: 0 after SIGTERM or SIGINT, 1 when it cannot start (a port taken, a bad start log),
2 for a bad command line.

Journal and start log, one call per line:
  TIMEID<TAB>DIFFID<TAB>DIRNUMBER<TAB>CORRNUMBER<TAB>INITIALDEST<TAB>DATEOFBEGIN<TAB>DATEOFEND
TIMEID and DIFFID: decimal, or both "-" for a call without item ID. Texts: their bytes, with
backslash as \\, tab \t, line feed \n, carriage return \r and every other byte below 32 or from 127
up as \xHH (the journal is plain ASCII; a start log may also hold raw bytes from 128 up); a field
of exactly \- is an absent text. A journal can be given back as a start log.

Options:
)";

bool parseLong(const char* text, long min, long max, long& value)
{
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || parsed < min || parsed > max)
        return false;
    value = static_cast<long>(parsed);
    return true;
}

bool parseDouble(const char* text, double min, double max, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value >= min && value <= max;
}

std::vector<std::string> splitCommas(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ','))
        parts.push_back(item);
    if (!text.empty() && text.back() == ',')
        parts.emplace_back();
    return parts;
}

SimUser generatedUser(long i)
{
    const std::string number = std::to_string(1000 + i);
    const std::string n = std::to_string(i);
    return {"User" + n, "First" + n, "user" + n, number, {number}};
}

} // namespace

std::string pbxUsage()
{
    std::ostringstream s;
    s << kIntro;
    for (const auto& o : kOptions) {
        const std::string head = std::string("  --") + o.name + (o.argument ? std::string(" ") + o.argument : "");
        s << head << "\n" << kelm::tools::wrappedHelp(o.text, 6);
    }
    return s.str();
}

std::optional<PbxOptions> parsePbxOptions(int argc, char** argv, std::string& error)
{
    constexpr int kCount = sizeof kOptions / sizeof kOptions[0];
    option longOptions[kCount + 1] = {};
    for (int i = 0; i < kCount; ++i)
        longOptions[i] = {kOptions[i].name, kOptions[i].argument ? required_argument : no_argument, nullptr, i};
    PbxOptions result;
    long generatedUsers = 3;
    optind = 1;
    opterr = 0;
    int index = 0;
    int c;
    while ((c = getopt_long(argc, argv, "", longOptions, &index)) != -1) {
        if (c < 0 || c >= kCount) {
            error = std::string("unknown option or missing value: ") + argv[optind - 1];
            return std::nullopt;
        }
        const std::string name = kOptions[c].name;
        const auto bad = [&](const char* what) {
            error = "--" + name + " needs " + what + ", not \"" + optarg + "\"";
            return std::nullopt;
        };
        long number = 0;
        if (name == "address") {
            result.address = optarg;
        } else if (name == "password") {
            result.password = optarg;
        } else if (name == "release") {
            result.release = optarg;
        } else if (name == "calls-per-second") {
            if (!parseDouble(optarg, 0, 1000, result.callsPerSecond))
                return bad("a rate from 0 to 1000");
        } else if (name == "initial-calls") {
            if (!parseLong(optarg, 0, 1000000, result.initialCalls))
                return bad("a count from 0 to 1000000");
        } else if (name == "start-log") {
            result.startLogPath = optarg;
        } else if (name == "max-calls") {
            if (!parseLong(optarg, 1, 1000000, result.maxCalls))
                return bad("a count from 1 to 1000000");
        } else if (name == "journal") {
            result.journalPath = optarg;
        } else if (name == "first-diff-id") {
            if (!parseLong(optarg, 0, (1L << 62), number))
                return bad("a number from 0 to 2^62");
            result.firstDiffId = number;
        } else if (name == "session-lifetime") {
            if (!parseDouble(optarg, 0, 1e6, result.sessionLifetime))
                return bad("seconds from 0 to 1000000");
        } else if (name == "user") {
            const auto fields = splitCommas(optarg);
            if (fields.size() < 4)
                return bad("NAME,FIRSTNAME,LOGIN,NUMBER[,LINE...]");
            result.users.push_back({fields[0], fields[1], fields[2], fields[3],
                                    std::vector<std::string>(fields.begin() + 4, fields.end())});
        } else if (name == "users") {
            if (!parseLong(optarg, 0, 100000, generatedUsers))
                return bad("a count from 0 to 100000");
        } else if (name == "users-total") {
            if (!parseLong(optarg, -1000000, 1000000, number))
                return bad("a number");
            result.usersTotal = number;
        } else if (name == "io-timeout") {
            if (!parseDouble(optarg, 0.1, 3600, result.ioTimeout))
                return bad("seconds from 0.1 to 3600");
        } else if (name == "hold-timeout") {
            if (!parseDouble(optarg, 0.1, 86400, result.holdTimeout))
                return bad("seconds from 0.1 to 86400");
        } else if (name == "no-udp-answer") {
            result.noUdpAnswer = true;
        } else if (name == "http-down") {
            result.httpDown = true;
        } else if (name == "http-hang") {
            result.httpHang = true;
        } else if (name == "answer-calls") {
            if (!parseLong(optarg, 0, 1000000, number))
                return bad("a count from 0 to 1000000");
            result.answerCalls = number;
        } else if (name == "total-excess") {
            if (!parseLong(optarg, 0, 1000000, result.totalExcess))
                return bad("a count from 0 to 1000000");
        } else if (name == "non-ascii") {
            result.nonAscii = true;
        } else if (name == "calllog-status") {
            if (!parseLong(optarg, -2147483647L - 1, 2147483647L, number))
                return bad("a 32-bit status code");
            result.callLogStatus = static_cast<int>(number);
        } else if (name == "fetch-delay") {
            if (!parseDouble(optarg, 0, 600, result.fetchDelay))
                return bad("seconds from 0 to 600");
        } else if (name == "help") {
            result.help = true;
            return result;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument: ") + argv[optind];
        return std::nullopt;
    }
    for (long i = 1; i <= generatedUsers; ++i)
        result.users.push_back(generatedUser(i));
    return result;
}

} // namespace kelm::pbxsim
