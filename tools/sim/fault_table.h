// The fault table: rules matched against each parsed request, and the
// change each action makes to the answer.
#pragma once

#include <cstdint>
#include <vector>

#include "sim_frame.h"
#include "simulator.h"

namespace tandrel_sim {

// What the connection does with one answer.
struct Delivery {
    std::vector<std::uint8_t> frame;  // empty: send nothing
    bool close_after = false;
    bool one_byte_segments = false;
    int delay_ms = 0;
};

struct RequestKey {
    int function;
    int address;   // -1 when the function has no address
    int count;
    int number;    // request number on the connection
    int unit_id;
};

class FaultTable {
public:
    void add(const Fault& f) { rules_.push_back({f, false}); }
    void clear() { rules_.clear(); }
    // The first rule that matches and may still act; marks a once-rule spent.
    const Fault* match(const RequestKey& key);

private:
    struct Rule {
        Fault fault;
        bool spent;
    };
    std::vector<Rule> rules_;
};

// Builds the delivery of an answer PDU, changed by the fault (may be null).
Delivery deliver(const Frame& request, std::vector<std::uint8_t> pdu, const Fault* fault);

}  // namespace tandrel_sim
