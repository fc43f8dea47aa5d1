// Fault matching and the actions' effect on an answer; see fault_table.h.
#include "fault_table.h"

namespace tandrel_sim {

namespace {

bool touches(const Fault& f, const RequestKey& k) {
    if (f.address_lo < 0 && f.address_hi < 0) return true;
    if (k.address < 0) return false;
    const int lo = f.address_lo < 0 ? 0 : f.address_lo;
    const int hi = f.address_hi < 0 ? 0xFFFF : f.address_hi;
    const int last = k.address + (k.count > 0 ? k.count - 1 : 0);
    return k.address <= hi && last >= lo;
}

bool matches(const Fault& f, const RequestKey& k) {
    return (f.function < 0 || f.function == k.function) &&
           (f.nth_request < 0 || f.nth_request == k.number) &&
           (f.unit_id < 0 || f.unit_id == k.unit_id) && touches(f, k);
}

Fault rule_at_request(int n, FaultAction action) {
    Fault f;
    f.nth_request = n;
    f.action = action;
    return f;
}

}  // namespace

Fault Fault::exception_at(std::uint16_t address, int code) {
    Fault f;
    f.address_lo = address;
    f.address_hi = address;
    f.code = code;
    f.once = false;
    return f;
}

Fault Fault::exception_at_request(int n, int code) {
    Fault f = rule_at_request(n, FaultAction::Exception);
    f.code = code;
    return f;
}

Fault Fault::delay_at_request(int n, int ms) {
    Fault f = rule_at_request(n, FaultAction::Delay);
    f.delay_ms = ms;
    return f;
}

Fault Fault::silence_at_request(int n) { return rule_at_request(n, FaultAction::Silence); }
Fault Fault::close_at_request(int n) { return rule_at_request(n, FaultAction::Close); }

Fault Fault::one_byte_segments() {
    Fault f = rule_at_request(-1, FaultAction::OneByteSegments);
    f.once = false;
    return f;
}

Fault Fault::wrong_transaction_id_at_request(int n) {
    return rule_at_request(n, FaultAction::WrongTransactionId);
}
Fault Fault::wrong_function_code_at_request(int n) {
    return rule_at_request(n, FaultAction::WrongFunctionCode);
}
Fault Fault::bad_byte_count_at_request(int n) { return rule_at_request(n, FaultAction::BadByteCount); }

Fault Fault::mbap_length_at_request(int n, int length) {
    Fault f = rule_at_request(n, FaultAction::MbapLength);
    f.mbap_length = length;
    return f;
}

const Fault* FaultTable::match(const RequestKey& key) {
    for (Rule& r : rules_) {
        if (r.spent || !matches(r.fault, key)) continue;
        if (r.fault.once) r.spent = true;
        return &r.fault;
    }
    return nullptr;
}

Delivery deliver(const Frame& request, std::vector<std::uint8_t> pdu, const Fault* fault) {
    Delivery d;
    std::uint16_t tid = request.transaction_id;
    if (fault != nullptr) {
        switch (fault->action) {
        case FaultAction::Exception: pdu = exception_response(request.pdu.empty() ? 0 : request.pdu[0], fault->code); break;
        case FaultAction::Delay: d.delay_ms = fault->delay_ms; break;
        case FaultAction::Silence: return d;
        case FaultAction::Close: d.close_after = true; return d;
        case FaultAction::OneByteSegments: d.one_byte_segments = true; break;
        case FaultAction::WrongTransactionId: tid = static_cast<std::uint16_t>(tid + 1); break;
        case FaultAction::WrongFunctionCode: if (!pdu.empty()) ++pdu[0]; break;
        case FaultAction::BadByteCount:
            // A read answer says one byte less than it carries; other answers gain a stray byte.
            if (pdu.size() >= 2 && pdu[0] == 3) --pdu[1]; else pdu.push_back(0);
            break;
        case FaultAction::MbapLength: break;
        }
    }
    d.frame = build_frame(tid, request.unit_id, pdu);
    if (fault != nullptr && fault->action == FaultAction::MbapLength) {
        d.frame[4] = static_cast<std::uint8_t>((fault->mbap_length >> 8) & 0xFF);
        d.frame[5] = static_cast<std::uint8_t>(fault->mbap_length & 0xFF);
    }
    return d;
}

}  // namespace tandrel_sim
