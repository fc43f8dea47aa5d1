// Construction, clock and live values of the simulated meter.
#include "simulator_core.h"

#include <chrono>

#include "civil_time.h"
#include "default_content.h"
#include "point_layout.h"
#include "server.h"

namespace tandrel_sim {

namespace {

double now_seconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void define_families(RegisterMap& regs, Model model) {
    for (const Family& f : families()) {
        for (int pid = f.pid_base; pid <= f.last_pid; ++pid) {
            const auto p = static_cast<std::uint16_t>(pid);
            const auto a = static_cast<std::uint16_t>(point_register(model, p));
            if (model_has_point(model, p)) {
                regs.define(a, 0);
                regs.define(static_cast<std::uint16_t>(a + 1), 0);
            } else {
                regs.reject(a, static_cast<std::uint16_t>(a + 1), 2);
            }
        }
    }
}

}  // namespace

SimulatorCore::SimulatorCore(Model m, SimOptions o) : model(m), options(o) {
    define_identity(regs, default_identity(model));
    define_setup(regs, model);
    define_families(regs, model);
    const auto now = static_cast<std::uint32_t>(now_seconds());
    const std::uint32_t end_time = options.live ? now : options.fixed_time;
    set_clock_locked(end_time);
    if (model == Model::EM235) diagnostics = {true, 0x0800, 1, 0x0000, 0x2100};
    if (options.default_logs) {
        for (const auto& [file, log_setup] : default_datalogs(model, end_time)) {
            install_log(file, make_datalog(log_setup, resolution_locked()));
        }
        install_log(0, make_eventlog(default_eventlog(end_time)));
    }
    refresh_values_locked();
}

SimulatorCore::~SimulatorCore() = default;

void SimulatorCore::install_log(int file, LogFile f) {
    check_block_window(file, f);
    f.generation = next_generation++;
    logs[file] = std::move(f);
}

void SimulatorCore::set_clock_locked(std::int64_t seconds) {
    clock_base_ = seconds;
    clock_anchor_ = std::chrono::steady_clock::now();
}

std::int64_t SimulatorCore::clock_now_locked() const {
    if (!options.live) return clock_base_;
    const auto elapsed = std::chrono::steady_clock::now() - clock_anchor_;
    return clock_base_ + std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
}

Resolution SimulatorCore::resolution_locked() const {
    if (model == Model::EM133) {
        const bool ratio_ok = regs.check(reg::EM133_PT_RATIO, 1) == 0;
        const bool hi_ok = regs.check(reg::EM133_HIGH_RES, 1) == 0;
        const bool high = ratio_ok && hi_ok && regs.get(reg::EM133_HIGH_RES) == 1;
        return resolution_from_setup(model, ratio_ok ? regs.get(reg::EM133_PT_RATIO) : 10, high,
                                     regs.get(reg::EM133_ENERGY_DECIMALS));
    }
    return resolution_from_setup(model, regs.get(reg::EM235_PT_RATIO), true,
                                 regs.get(reg::EM235_ENERGY_DECIMALS));
}

// Live values change at most five times a second: enough to look alive,
// cheap enough that a benchmark measures the client.
void SimulatorCore::refresh_values_locked() {
    const auto now = std::chrono::steady_clock::now();
    const bool due = options.live && now - last_refresh_ >= std::chrono::milliseconds(200);
    if (!values_dirty && !due) return;
    const double t = options.live ? now_seconds() : options.fixed_time;
    const Resolution res = resolution_locked();
    for (const Family& f : families()) {
        for (int pid = f.pid_base; pid <= f.last_pid; ++pid) {
            const auto p = static_cast<std::uint16_t>(pid);
            const auto a = static_cast<std::uint16_t>(point_register(model, p));
            const auto raw = static_cast<std::uint32_t>(raw_value(p, physical_value(p, t), res));
            regs.update(a, static_cast<std::uint16_t>(raw & 0xFFFF));
            regs.update(static_cast<std::uint16_t>(a + 1), static_cast<std::uint16_t>(raw >> 16));
        }
    }
    values_dirty = false;
    last_refresh_ = now;
}

void SimulatorCore::write_clock(std::uint16_t address, const std::vector<std::uint16_t>& values) {
    CivilTime c = civil_from_seconds(clock_now_locked());
    int* fields[6] = {&c.second, &c.minute, &c.hour, &c.day, &c.month, &c.year};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int off = address + static_cast<int>(i) - reg::EM133_CLOCK;
        if (off < 0 || off >= 6) continue;  // the weekday follows from the date
        *fields[off] = values[i] + (off == 5 ? 2000 : 0);
    }
    set_clock_locked(seconds_from_civil(c));
}

}  // namespace tandrel_sim
