#pragma once

// Sending one rpc/encoded request and receiving its answer, over the generated soap_put_* and
// soap_get_* of the operation's request and response elements. They take the place of the
// generated soap_send_* / soap_recv_*, which end the envelope with an extra CR LF, write a Header
// when the context holds one and accept any element as the response.

#include "soapH.h"

#include "shared/soap/wire_profile.h"

namespace kelm::pbx_soap {

template <class Request>
using RequestWriter = int (*)(struct soap*, const Request*, const char*, const char*);
template <class Request>
using RequestMarker = void (*)(struct soap*, const Request*);
template <class Response>
using ResponseReader = Response* (*)(struct soap*, Response*, const char*, const char*);

template <class Request>
int writeEnvelope(struct soap* soap, RequestWriter<Request> put, const Request& request, const char* tag)
{
    if (soap_envelope_begin_out(soap) || soap_body_begin_out(soap) || put(soap, &request, tag, "")
        || soap_body_end_out(soap) || soap_element_end_out(soap, "SOAP-ENV:Envelope"))
        return soap->error;
    soap->part = SOAP_END_ENVELOPE;
    return SOAP_OK;
}

// Serialises the request once to count it, connects and sends header and envelope.
template <class Request>
int sendRequest(struct soap* soap, const char* endpoint, const char* action, RequestMarker<Request> mark,
                RequestWriter<Request> put, const Request& request, const char* tag)
{
    soap_begin(soap);
    soap_set_version(soap, 1);
    soap->encodingStyle = ""; // the SOAP 1.1 encoding, written on the Body
    soap->header = nullptr;
    mark(soap, &request);
    if (soap_begin_count(soap))
        return soap->error;
    if ((soap->mode & SOAP_IO_LENGTH) && writeEnvelope(soap, put, request, tag))
        return soap->error;
    if (soap_end_count(soap))
        return soap->error;
    if (soap_connect(soap, endpoint, action) || writeEnvelope(soap, put, request, tag) || soap_end_send(soap))
        return soap_closesock(soap);
    return SOAP_OK;
}

// Reads the answer, which must be the element `tag` or a Fault. The slot is cleared first and
// receives the part only when the whole exchange succeeded.
template <class Response, class Part>
int receiveResponse(struct soap* soap, ResponseReader<Response> get, const char* tag, Part* Response::*part,
                    Part*& slot)
{
    slot = nullptr;
    if (soap_begin_recv(soap))
        return soap_closesock(soap);
    // 200, 400 and 500 carry SOAP; another 2xx status only with a body of declared length.
    if (soap->status > 200 && soap->status <= 299 && !lengthDeclared(soap)) {
        const int status = soap->status;
        soap_closesock(soap);
        return soap->error = status;
    }
    if (soap_envelope_begin_in(soap) || soap_recv_header(soap) || soap_body_begin_in(soap))
        return soap_closesock(soap);
    if (soap_recv_fault(soap, 1)) // a Fault in place of the response ends the call with its code
        return soap->error;
    // The response element is matched with its namespace; what it holds by local name alone, as
    // the PBX's peers do (the run time would refuse a member written with a prefix).
    if (soap_peek_element(soap) == SOAP_OK)
        soap->error = soap_match_tag(soap, soap->tag, tag);
    if (soap->error) {
        if (soap->error == SOAP_NO_TAG)
            soap->error = SOAP_TAG_MISMATCH;
        return soap_closesock(soap);
    }
    const auto mode = soap->mode;
    soap->mode |= SOAP_XML_IGNORENS;
    Response* response = get(soap, nullptr, tag, nullptr);
    soap->mode = mode;
    if (response == nullptr || soap->error) {
        if (soap->error == SOAP_OK)
            soap->error = SOAP_NO_DATA;
        return soap_closesock(soap);
    }
    if (soap_body_end_in(soap) || soap_envelope_end_in(soap) || soap_end_recv(soap))
        return soap_closesock(soap);
    slot = response->*part;
    return soap_closesock(soap);
}

} // namespace kelm::pbx_soap
