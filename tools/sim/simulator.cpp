// The public face of the simulator: configuration and inspection under the
// core's mutex, start and stop of the server.
#include "simulator.h"

#include "default_content.h"
#include "point_layout.h"
#include "server.h"
#include "simulator_core.h"

namespace tandrel_sim {

using Lock = std::lock_guard<std::mutex>;

Simulator::Simulator(Model model, SimOptions options)
    : core_(std::make_unique<SimulatorCore>(model, options)) {
    core_->server = std::make_unique<Server>(*core_);
}

Simulator::~Simulator() { stop(); }

void Simulator::start(const std::string& address, std::uint16_t port) {
    core_->server->start(address, port);
}

void Simulator::stop() { core_->server->stop(); }
std::uint16_t Simulator::port() const { return core_->server->port(); }
Model Simulator::model() const { return core_->model; }

void Simulator::set_register(std::uint16_t address, std::uint16_t value) {
    Lock lock(core_->mu);
    core_->regs.set(address, value);
    core_->values_dirty = true;
}

void Simulator::set_registers(std::uint16_t address, const std::vector<std::uint16_t>& values) {
    Lock lock(core_->mu);
    for (std::size_t i = 0; i < values.size(); ++i) {
        core_->regs.set(static_cast<std::uint16_t>(address + i), values[i]);
    }
    core_->values_dirty = true;
}

void Simulator::set_u32(std::uint16_t address, std::uint32_t value) {
    set_registers(address, {static_cast<std::uint16_t>(value & 0xFFFF),
                            static_cast<std::uint16_t>(value >> 16)});
}

std::uint16_t Simulator::register_value(std::uint16_t address) const {
    Lock lock(core_->mu);
    core_->refresh_values_locked();
    return core_->regs.get(address);
}

void Simulator::remove_registers(std::uint16_t lo, std::uint16_t hi) { reject_range(lo, hi, 2); }

void Simulator::reject_range(std::uint16_t lo, std::uint16_t hi, int exception_code) {
    Lock lock(core_->mu);
    core_->regs.reject(lo, hi, exception_code);
}

int Simulator::point_address(Model model, std::uint16_t point_id) {
    return point_register(model, point_id);
}

bool Simulator::set_point_raw(std::uint16_t point_id, std::int32_t raw) {
    const int a = point_register(core_->model, point_id);
    if (a < 0) return false;
    set_u32(static_cast<std::uint16_t>(a), static_cast<std::uint32_t>(raw));
    return true;
}

std::optional<std::int32_t> Simulator::point_raw(std::uint16_t point_id) const {
    const int a = point_register(core_->model, point_id);
    if (a < 0) return std::nullopt;
    Lock lock(core_->mu);
    core_->refresh_values_locked();
    if (core_->regs.check(static_cast<std::uint16_t>(a), 2) != 0) return std::nullopt;
    const std::uint32_t v = core_->regs.get(static_cast<std::uint16_t>(a)) |
                            (static_cast<std::uint32_t>(core_->regs.get(static_cast<std::uint16_t>(a + 1))) << 16);
    return static_cast<std::int32_t>(v);
}

void Simulator::set_identity(const Identity& identity) {
    Lock lock(core_->mu);
    define_identity(core_->regs, identity);
}

void Simulator::set_pt_ratio_x10(std::uint16_t ratio_x10) {
    set_register(core_->model == Model::EM133 ? reg::EM133_PT_RATIO : reg::EM235_PT_RATIO, ratio_x10);
}

void Simulator::set_high_resolution(bool on) {
    if (core_->model == Model::EM133) set_register(reg::EM133_HIGH_RES, on ? 1 : 0);
}

void Simulator::set_energy_decimals(std::uint16_t decimals) {
    set_register(core_->model == Model::EM133 ? reg::EM133_ENERGY_DECIMALS
                                              : reg::EM235_ENERGY_DECIMALS,
                 decimals);
}

void Simulator::set_summary_units(const std::vector<std::uint16_t>& unit_codes) {
    Lock lock(core_->mu);
    for (std::size_t i = 0; i < unit_codes.size(); ++i) {
        core_->regs.set(static_cast<std::uint16_t>(reg::SUMMARY_SETUP + 4 * i + 1), unit_codes[i]);
    }
}

void Simulator::set_clock(std::uint32_t seconds) {
    Lock lock(core_->mu);
    core_->set_clock_locked(seconds);
}

std::uint32_t Simulator::clock_seconds() const {
    Lock lock(core_->mu);
    return static_cast<std::uint32_t>(core_->clock_now_locked());
}

void Simulator::set_diagnostics(std::uint16_t address, std::uint8_t unit_id, std::uint16_t word0,
                                std::uint16_t word1) {
    Lock lock(core_->mu);
    core_->diagnostics = {true, address, unit_id, word0, word1};
}

void Simulator::add_fault(const Fault& fault) {
    Lock lock(core_->mu);
    core_->faults.add(fault);
}

void Simulator::clear_faults() {
    Lock lock(core_->mu);
    core_->faults.clear();
}

std::vector<Request> Simulator::requests() const {
    Lock lock(core_->mu);
    return core_->request_log;
}

void Simulator::clear_requests() {
    Lock lock(core_->mu);
    core_->request_log.clear();
}

std::uint64_t Simulator::requests_served() const {
    Lock lock(core_->mu);
    return core_->served;
}

int Simulator::connections_accepted() const { return core_->accepted; }
int Simulator::open_connections() const { return core_->open; }

void Simulator::set_trace(std::function<void(const std::string& line)> trace) {
    Lock lock(core_->mu);
    core_->trace = std::move(trace);
}

}  // namespace tandrel_sim
