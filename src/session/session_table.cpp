// The handle table: slots with generations, reused oldest-freed first so that
// a stale handle meets a changed generation for as long as possible.
//
// The table is never destroyed. At process exit Windows ends the other
// threads first, possibly inside a call that holds a lock of this table or a
// session, and a destructor waiting for it would hang the exit; sessions left
// open are closed by the system with the process.
#include "session/session_table.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace tandrel {
namespace {

// Slot and generation share the pointer's bits: half each on 64-bit
// platforms, 16 bits each on 32-bit ones.
constexpr unsigned GENERATION_BITS = sizeof(uintptr_t) >= 8 ? 32 : 16;
constexpr uintptr_t GENERATION_MASK = (uintptr_t{1} << GENERATION_BITS) - 1;
constexpr uint32_t MAX_SESSIONS = 65535;

struct Slot {
    uint32_t generation = 1;
    std::shared_ptr<Session> session;
};

struct SessionTable {
    std::mutex mutex;
    std::vector<Slot> slots;
    std::deque<uint32_t> free_slots;
};

SessionTable& session_table() {
    static SessionTable& table = *new SessionTable;
    return table;
}

uint32_t next_generation(uint32_t generation) {
    const uint32_t next = static_cast<uint32_t>((generation + 1) & GENERATION_MASK);
    return next == 0 ? 1 : next;
}

}  // namespace

tandrel_session* encode_handle(HandleParts parts) {
    const uintptr_t value = (static_cast<uintptr_t>(parts.slot) + 1) << GENERATION_BITS |
                            (parts.generation & GENERATION_MASK);
    return reinterpret_cast<tandrel_session*>(value);
}

HandleParts decode_handle(const tandrel_session* handle) {
    const auto value = reinterpret_cast<uintptr_t>(handle);
    const uintptr_t slot_plus_one = value >> GENERATION_BITS;
    // A value below the first slot has no slot: it decodes to one past any.
    const uint32_t slot = slot_plus_one == 0 || slot_plus_one > MAX_SESSIONS
                              ? MAX_SESSIONS
                              : static_cast<uint32_t>(slot_plus_one - 1);
    return {slot, static_cast<uint32_t>(value & GENERATION_MASK)};
}

tandrel_session* add_session(std::shared_ptr<Session> session) {
    SessionTable& table = session_table();
    const std::lock_guard<std::mutex> lock(table.mutex);
    uint32_t slot = 0;
    if (!table.free_slots.empty()) {
        slot = table.free_slots.front();
        table.free_slots.pop_front();
    } else if (table.slots.size() < MAX_SESSIONS) {
        slot = static_cast<uint32_t>(table.slots.size());
        table.slots.emplace_back();
    } else {
        throw std::runtime_error("Too many open sessions: " + std::to_string(MAX_SESSIONS));
    }
    table.slots[slot].session = std::move(session);
    return encode_handle({slot, table.slots[slot].generation});
}

std::shared_ptr<Session> find_session(const tandrel_session* handle) {
    if (handle == nullptr) throw std::runtime_error("session must not be null");
    const HandleParts parts = decode_handle(handle);
    SessionTable& table = session_table();
    const std::lock_guard<std::mutex> lock(table.mutex);
    if (parts.slot >= table.slots.size()) throw_invalid_session();
    const Slot& slot = table.slots[parts.slot];
    if (slot.generation != parts.generation || !slot.session) throw_invalid_session();
    return slot.session;
}

void close_session(const tandrel_session* handle) {
    if (handle == nullptr) return;
    const HandleParts parts = decode_handle(handle);
    std::shared_ptr<Session> session;
    SessionTable& table = session_table();
    {
        const std::lock_guard<std::mutex> lock(table.mutex);
        if (parts.slot >= table.slots.size()) return;
        Slot& slot = table.slots[parts.slot];
        if (slot.generation != parts.generation || !slot.session) return;
        session = std::move(slot.session);
        slot.session.reset();
        slot.generation = next_generation(slot.generation);
        table.free_slots.push_back(parts.slot);
    }
    // Outside the table's lock: the socket is shut down, and the session,
    // when no call holds it, closed right here.
    session->abort();
}

}  // namespace tandrel
