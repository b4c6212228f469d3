// The metering scheduler: start, the two periodic timers' ticks, and stop.
#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/timer_service.h"
#include "shared/kelm_service.h"
#include "shared/target_probe.h"

#include <chrono>

namespace kelm {

namespace {

constexpr const char* kLoginFailed =
    "Login target ZEB unsuccessfully,if target IP exist,please check your password!";

std::chrono::milliseconds periodOf(std::int32_t seconds)
{
    return std::chrono::milliseconds(std::int64_t{seconds} * 1000);
}

} // namespace

void CKelmService::StartKelmService()
{
    std::lock_guard lock(serviceLock_);
    if (stopping_)
        return; // stopped before it began: nothing may start now
    Initialization();
    metering.Initialization();
    if (zeb.ZebLogin()) {
        loggedIn = 1;
    } else {
        targetPresent = 0;
        loggedIn = 0;
        log.WriteLog(kLevelWarning, kCategoryZeb, std::string("CKelmService::StartKelmService : ") + kLoginFailed);
    }

    timers_ = std::make_unique<platform::TimerService>();
    const auto tick = [this](std::uint32_t id) { t_main(id); };
    callLogTimerId = timers_->create(periodOf(callLogUpdateTimer), tick);
    probeTimerId = timers_->create(periodOf(zeb.zebTimeout), tick);
    // Without either timer the service never meters a call: say so where the administrator looks.
    if (callLogTimerId == 0)
        log.WriteLog(kLevelError, kCategoryDebug,
                     "CKelmService::StartKelmService : no call log timer (CALLLOG_UPDATE_TIMER), calls are not metered.");
    if (probeTimerId == 0)
        log.WriteLog(kLevelError, kCategoryDebug,
                     "CKelmService::StartKelmService : no probe timer (ZEB_TIMEOUT), calls are not metered.");
    started_ = true;
    reportHealth();
}

void CKelmService::t_main(std::uint32_t timerId)
{
    std::lock_guard lock(serviceLock_);
    if (stopping_)
        return; // was waiting for the lock while the stop released everything

    if (timerId == callLogTimerId && targetPresent) {
        kelm2__LocalCallLogResult* response = nullptr;
        int r = 0;
        bool fetched = false;
        if (loggedIn) {
            log.WriteLog(kLevelDebug, kCategoryDebug, "t_main : Call log update time.");
            r = zeb.ZebGetCalllog(response);
            fetched = true;
            if (r == -1)
                loggedIn = 0;
        } else {
            log.WriteLog(kLevelDebug, kCategoryDebug, "t_main : ZEB RE login time.");
            if (zeb.ZebLogin()) {
                loggedIn = 1;
                log.WriteLog(kLevelDebug, kCategoryDebug, "t_main : Call log update.");
                r = zeb.ZebGetCalllog(response);
                fetched = true;
            } else {
                targetPresent = 0;
                log.WriteLog(kLevelWarning, kCategoryZeb, std::string("t_main : ") + kLoginFailed);
            }
        }
        if (fetched && r >= 0)
            lastFetch_ = platform::traceTimeStamp(platform::systemClock().now());
        if (r > 0) {
            metering.OutputXML(&response);
            zeb.ReleaseMessageStorage();
        }
    }

    if (timerId == probeTimerId && !targetPresent) {
        log.WriteLog(kLevelDebug, kCategoryZeb, "t_main : Target ZEB test time.");
        targetPresent = TestTargetIP(zeb.hostAddress.view(), zeb.zebTimeout, log);
        if (targetPresent)
            log.WriteLog(kLevelWarning, kCategoryZeb, "t_main : Target ZEB exist.");
        else
            log.WriteLog(kLevelError, kCategoryZeb, "t_main : Connect ZEB time out.Target ZEB does not exist.");
    }

    log.FileBackup();
    reportHealth();
}

void CKelmService::UnInitialization()
{
    std::lock_guard lock(serviceLock_);
    if (stopping_)
        return;
    stopping_ = true;
    if (!started_)
        return; // the start never ran: there is nothing to log out of or release
    zeb.ZebLogout();
    timers_->cancel(callLogTimerId);
    timers_->cancel(probeTimerId);
    log.WriteLog(kLevelDebug, kCategoryDebug, "CKelmService::UnInitialization : close......");
    metering.ReleaseXML();
    loggedIn = 0;
}

void CKelmService::setHealthObserver(std::function<void(const std::string&)> observer)
{
    std::lock_guard lock(serviceLock_);
    onHealthChange_ = std::move(observer);
    lastHealth_.clear();
    if (started_ && !stopping_)
        reportHealth();
}

void CKelmService::reportHealth()
{
    if (!onHealthChange_)
        return;
    // Until a probe is answered the PBX counts as absent, even right after a successful login.
    std::string health = targetPresent ? "PBX answering, " : "waiting for the PBX to answer its probe, ";
    health += loggedIn ? "logged in, " : "not logged in, ";
    health += std::to_string(metering.ticketCount) + " tickets in the collector file, ";
    health += lastFetch_.empty() ? "no call log fetched yet" : "last call log fetched " + lastFetch_;
    if (health == lastHealth_)
        return;
    lastHealth_ = health;
    onHealthChange_(health);
}

} // namespace kelm
