// The open sessions by handle. A handle is not an address: it encodes a slot
// of this table and the slot's generation, so that a closed handle, or any
// value never handed out, is recognised and refused instead of followed.
#pragma once

#include <memory>

#include "session/session.h"
#include "tandrel.h"

namespace tandrel {

// Stores the session and returns its handle, never null; throws when the
// table is full.
tandrel_session* add_session(std::shared_ptr<Session> session);

// The session behind a handle, kept alive for the caller's call even if it is
// closed meanwhile. Throws "session must not be null" or "Invalid session handle".
std::shared_ptr<Session> find_session(const tandrel_session* handle);

// Invalidates the handle at once and aborts the session's running call, if
// any; the session ends when that call returns. Null or unknown: nothing.
void close_session(const tandrel_session* handle);

// The handle a slot and generation stand for, and back; pure.
struct HandleParts {
    uint32_t slot;
    uint32_t generation;  // never 0, so that no handle is null
};
tandrel_session* encode_handle(HandleParts parts);
HandleParts decode_handle(const tandrel_session* handle);

}  // namespace tandrel
