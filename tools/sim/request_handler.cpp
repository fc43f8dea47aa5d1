// The answer of the simulated meter to one request: the fault table first,
// then the file-transfer and File Info areas, the diagnostics word, the
// clock, and the plain registers.
#include <cstdio>

#include "civil_time.h"
#include "simulator_core.h"

namespace tandrel_sim {

namespace {

bool has_address(const PduRequest& r) {
    return r.exception == 0 || ((r.function == 3 || r.function == 6 || r.function == 16) && r.count > 0);
}

bool touches(std::uint16_t address, int count, std::uint16_t lo, int n) {
    const int last = address + count - 1;
    return address <= lo + n - 1 && last >= lo;
}

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", v & 0xFFFFu);
    return buf;
}

}  // namespace

Delivery SimulatorCore::handle(const Frame& frame, ConnectionState& conn) {
    std::lock_guard<std::mutex> lock(mu);
    ++conn.requests;
    ++served;
    const PduRequest req = decode_request(frame.pdu);
    record(conn, frame, req);
    const RequestKey key{req.function, has_address(req) ? req.address : -1, req.count,
                         conn.requests, frame.unit_id};
    const Fault* fault = faults.match(key);
    // A request answered by an injected exception, silence or close is not carried out.
    const bool carried_out = fault == nullptr || (fault->action != FaultAction::Exception &&
                                                  fault->action != FaultAction::Silence &&
                                                  fault->action != FaultAction::Close);
    std::vector<std::uint8_t> pdu;
    if (carried_out) pdu = execute(req, frame.unit_id, conn);
    Delivery d = deliver(frame, std::move(pdu), fault);
    if (trace) trace_answer(conn, frame, req, d);
    return d;
}

std::vector<std::uint8_t> SimulatorCore::execute(const PduRequest& req, std::uint8_t unit,
                                                 ConnectionState& conn) {
    if (req.exception != 0) return exception_response(req.function, req.exception);
    int code = 0;
    switch (req.function) {
    case 3: return read(req, unit, conn);
    case 6:
        code = req.address == reg::FILE_COMMAND
                   ? transfer_acknowledge(logs, conn.transfer, req.values[0])
                   : write_registers(req.address, req.values);
        return code != 0 ? exception_response(6, code) : write_echo(6, req.address, req.values[0]);
    case 16:
        if (req.address == reg::FILE_COMMAND) {
            code = transfer_command(logs, conn.transfer, req.values);
        } else if (req.address == reg::FILE_INFO_REQUEST) {
            code = file_info_request(logs, conn.transfer, req.values);
        } else {
            code = write_registers(req.address, req.values);
        }
        return code != 0 ? exception_response(16, code) : write_echo(16, req.address, req.count);
    default:
        return exception_response(req.function, 1);
    }
}

std::vector<std::uint8_t> SimulatorCore::read(const PduRequest& req, std::uint8_t unit,
                                              ConnectionState& conn) {
    std::vector<std::uint16_t> words;
    int code = transfer_read(conn.transfer, req.address, req.count, words);
    if (code < 0) code = file_info_read(conn.transfer, req.address, req.count, words);
    if (code < 0) code = read_registers(req.address, req.count, unit, words);
    return code != 0 ? exception_response(3, code) : read_response(3, words);
}

int SimulatorCore::read_registers(std::uint16_t address, int count, std::uint8_t unit,
                                  std::vector<std::uint16_t>& out) {
    refresh_values_locked();
    const Diagnostics& dg = diagnostics;
    const bool diag = dg.enabled && touches(address, count, dg.address, 2);
    if (diag && unit != dg.unit_id) return 2;
    if (static_cast<std::uint32_t>(address) + static_cast<std::uint32_t>(count) > 65536u) return 2;
    out.assign(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < count; ++i) {
        const auto a = static_cast<std::uint16_t>(address + i);
        if (diag && (a == dg.address || a == static_cast<std::uint16_t>(dg.address + 1))) {
            out[static_cast<std::size_t>(i)] = a == dg.address ? dg.word0 : dg.word1;
            continue;
        }
        const int code = regs.check(a, 1);
        if (code != 0) return code;
        out[static_cast<std::size_t>(i)] = regs.get(a);
    }
    if (model == Model::EM133 && touches(address, count, reg::EM133_CLOCK, 7)) {
        const CivilTime c = civil_from_seconds(clock_now_locked());
        const int fields[7] = {c.second, c.minute, c.hour, c.day, c.month, c.year - 2000, c.weekday};
        for (int k = 0; k < 7; ++k) {
            const int i = reg::EM133_CLOCK + k - address;
            if (i >= 0 && i < count) out[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(fields[k]);
        }
    }
    return 0;
}

int SimulatorCore::write_registers(std::uint16_t address, const std::vector<std::uint16_t>& values) {
    const int code = regs.check(address, static_cast<int>(values.size()));
    if (code != 0) return code;
    if (model == Model::EM133 && touches(address, static_cast<int>(values.size()), reg::EM133_CLOCK, 7)) {
        write_clock(address, values);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        regs.set(static_cast<std::uint16_t>(address + i), values[i]);
    }
    values_dirty = true;  // a setup register may have changed the resolution
    return 0;
}

void SimulatorCore::record(const ConnectionState& conn, const Frame& frame, const PduRequest& req) {
    if (request_log.size() >= options.request_log_limit) return;
    Request r;
    r.connection = conn.id;
    r.number = conn.requests;
    r.transaction_id = frame.transaction_id;
    r.unit_id = frame.unit_id;
    r.function = req.function;
    r.address = req.address;
    r.count = req.count;
    r.values = req.values;
    request_log.push_back(std::move(r));
}

void SimulatorCore::trace_answer(const ConnectionState& conn, const Frame& frame,
                                 const PduRequest& req, const Delivery& d) {
    std::string line = "conn " + std::to_string(conn.id) + " #" + std::to_string(conn.requests) +
                       " tid " + std::to_string(frame.transaction_id) + " unit " +
                       std::to_string(frame.unit_id) + " fc " + std::to_string(req.function) +
                       " addr " + hex4(req.address) + " count " + std::to_string(req.count);
    if (!req.values.empty()) line += " first value " + std::to_string(req.values[0]);
    if (d.frame.empty()) {
        line += d.close_after ? " -> connection closed" : " -> no answer";
    } else if (d.frame.size() > 8 && (d.frame[7] & 0x80) != 0) {
        line += " -> exception " + std::to_string(d.frame[8]);
    } else {
        line += " -> " + std::to_string(d.frame.size()) + " bytes";
    }
    if (d.delay_ms > 0) line += " after " + std::to_string(d.delay_ms) + " ms";
    trace(line);
}

}  // namespace tandrel_sim
