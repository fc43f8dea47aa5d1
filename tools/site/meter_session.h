// A library session on one meter, for the work that makes many calls on it
// (`live --watch`, `collect`, `serve`): one connection and one read of the
// meter's identity and setup, instead of one of each per call. Opening it
// also checks or learns the model (model_choice.h), from the identity the
// open has read anyway.
#pragma once

#include "document_call.h"
#include "endpoint.h"
#include "tandrel.h"

namespace tandrel_site {

// The session calls that write one document: session, out, err.
using SessionDocumentCall = int(TANDREL_CALL*)(tandrel_session* session, char* out, int out_len,
                                               char* err, int err_len);

class MeterSession {
public:
    MeterSession() = default;
    ~MeterSession() { tandrel_close(session_); }
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    // Opens the session on `target`: with the model given (trusted when
    // target.check_model is false, else checked against the identity), or
    // with none, so that the library reads the meter as the model its
    // identity names. Then target.meter is that model and check_model false.
    // Returns the session's device information, or the failure.
    CallResult open(MeterTarget& target);

    CallResult fetch(SessionDocumentCall call) const;
    tandrel_session* handle() const { return session_; }

private:
    tandrel_session* session_ = nullptr;
};

}  // namespace tandrel_site
