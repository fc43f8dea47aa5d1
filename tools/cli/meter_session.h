// A library session on one meter, for the commands that make many calls on
// it (`live --watch`, `collect`): one connection and one read of the meter's
// identity and setup, instead of one of each per call. Opening it also checks
// or learns the model, as identify() does (model_check.h), from the identity
// the open has read anyway.
#pragma once

#include "arguments.h"
#include "library_call.h"
#include "tandrel.h"

namespace tandrel_cli {

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
    CallResult open(Target& target);

    CallResult fetch(SessionDocumentCall call) const;
    tandrel_session* handle() const { return session_; }

private:
    tandrel_session* session_ = nullptr;
};

}  // namespace tandrel_cli
