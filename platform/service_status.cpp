#include "platform/service_status.h"

#include <systemd/sd-daemon.h>

namespace kelm::platform {

namespace {

std::string_view stateText(ServiceState state)
{
    switch (state) {
    case ServiceState::StartPending:
        return "start pending";
    case ServiceState::Running:
        return "running";
    case ServiceState::Stopped:
        return "stopped";
    }
    return {};
}

std::string_view stateAssignment(ServiceState state)
{
    switch (state) {
    case ServiceState::StartPending:
        return "";
    case ServiceState::Running:
        return "READY=1\n";
    case ServiceState::Stopped:
        return "STOPPING=1\n";
    }
    return {};
}

bool notify(const std::string& message)
{
    return ::sd_notify(0, message.c_str()) > 0;
}

} // namespace

bool ServiceStatusReporter::send(ServiceState state)
{
    std::string message(stateAssignment(state));
    message.append("STATUS=").append(text_);
    return notify(message);
}

bool ServiceStatusReporter::report(ServiceState state)
{
    std::lock_guard lock(mutex_);
    if (state_ == ServiceState::Stopped)
        return false;
    state_ = state;
    text_ = stateText(state);
    return send(state);
}

bool ServiceStatusReporter::reportAgain()
{
    std::lock_guard lock(mutex_);
    if (!state_)
        return false;
    return send(*state_);
}

bool ServiceStatusReporter::setStatusText(std::string_view text)
{
    std::lock_guard lock(mutex_);
    if (state_ == ServiceState::Stopped)
        return false;
    text = text.substr(0, kMaxStatusText);
    text_.clear();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        text_.push_back(byte < 0x20 || byte == 0x7f ? ' ' : c);
    }
    return notify("STATUS=" + text_);
}

} // namespace kelm::platform
