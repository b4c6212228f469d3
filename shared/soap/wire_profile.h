#pragma once

#include "stdsoap2.h"

#include <cstddef>

namespace kelm::pbx_soap {

// Bounds on what an answer (or, for a server, a request) may make the context read. A legitimate
// PBX answer is far smaller: 200 call-log entries or 100 users are a few hundred kilobytes.
inline constexpr std::size_t kMaxMessageBytes = 2 * 1024 * 1024;
inline constexpr unsigned kMaxNestingDepth = 32;
// Per array (a larger declared count fails the message) and per message (all declared counts
// together), so that small input cannot make the context allocate without bound.
inline constexpr std::size_t kMaxArrayItems = 100000;
inline constexpr std::size_t kMaxArraySlotsPerMessage = 200000;

inline constexpr const char* kUserAgent = "gSOAP/2.7";

// Gives a context the transport profile the PBX was built against, through the run time's own
// hooks: the User-Agent above in place of the run time's, messages written as trees (no id/href)
// and the bounds above on every message read. Returns SOAP_OK or the run time's error.
int applyWireProfile(struct soap* soap);

// Used while an array is read: takes `slots` from the budget of the message being read. False
// when the budget is spent. A context without the profile has no budget and always gets true.
bool takeArraySlots(struct soap* soap, std::size_t slots);

// After the HTTP header of an answer has been read: whether it declared the body's length
// (Content-Length or a chunked body).
bool lengthDeclared(struct soap* soap);

} // namespace kelm::pbx_soap
