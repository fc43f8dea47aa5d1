// The em133 bulk export: every step on a fresh connection with the default
// settings (port 502, unit 1, 30 s), one after another; the first failure
// ends the call and the files already written stay.
#include "logs/em133_export.h"

#include <stdexcept>
#include <utility>

#include "core/call_frame.h"
#include "core/options.h"
#include "core/time_text.h"
#include "logs/datalog_columns.h"
#include "logs/datalog_export.h"
#include "logs/eventlog_export.h"
#include "modbus/modbus_tcp_client.h"
#include "platform/calendar.h"
#include "tandrel.h"

namespace tandrel {
namespace {

constexpr int EVENT_LOG_FILE = 0;

// A fresh connection with the default settings, on which work(client) runs.
template <typename Work>
auto on_fresh_connection(const std::string& host, Work&& work) {
    ModbusTcpClient client(host, Options{});
    client.connect();
    return work(client);
}

std::tm local_time_now() {
    const int64_t seconds = platform::system_clock_ns() / 1000000000;
    std::tm local{};
    if (!platform::local_calendar(seconds, local)) {
        throw std::runtime_error("Cannot convert the computer's clock to local time");
    }
    return local;
}

// Register 2575 opens the clock for writing; it is put back to 0 even when
// the clock write fails, as far as the meter still takes that write.
void set_meter_clock(ModbusTcpClient& client, uint16_t clock_param) {
    const std::vector<uint16_t> words = em133_clock_words(local_time_now());
    client.write_single_register(em133::CLOCK_PARAM_REGISTER, clock_param);
    try {
        client.write_multiple_registers(em133::CLOCK_REGISTER, words);
    } catch (const std::exception&) {
        try {
            client.write_single_register(em133::CLOCK_PARAM_REGISTER, 0);
        } catch (const std::exception&) {
            // The clock write's own error is the one the caller needs.
        }
        throw;
    }
    client.write_single_register(em133::CLOCK_PARAM_REGISTER, 0);
}

int export_datalog_file(const std::string& host, const std::string& out_dir, int file) {
    const std::string path = em133_file_name(out_dir, "DL" + std::to_string(file), now_stamp());
    return on_fresh_connection(host, [&](ModbusTcpClient& client) {
        DatalogColumns columns = setup_datalog_columns(client, MeterModel::EM133, file);
        return export_datalog(client, std::move(columns), file, path, nullptr, nullptr);
    });
}

int export_event_file(const std::string& host, const std::string& out_dir) {
    const std::string path = em133_file_name(out_dir, "EVENTLOG", now_stamp());
    return on_fresh_connection(host, [&](ModbusTcpClient& client) {
        return export_eventlog(client, EVENT_LOG_FILE, path, nullptr, nullptr);
    });
}

}  // namespace

std::vector<uint16_t> em133_clock_words(const std::tm& local) {
    return {static_cast<uint16_t>(local.tm_sec),         static_cast<uint16_t>(local.tm_min),
            static_cast<uint16_t>(local.tm_hour),        static_cast<uint16_t>(local.tm_mday),
            static_cast<uint16_t>(local.tm_mon + 1),     static_cast<uint16_t>(local.tm_year - 100),
            static_cast<uint16_t>(local.tm_wday + 1)};
}

std::string em133_file_name(const std::string& out_dir, const std::string& log,
                            const std::string& stamp) {
    return out_dir + "/EM133_" + log + "_" + stamp + ".csv";
}

int export_em133_all_impl(const char* host, int set_clock, int clock_param, const char* out_dir) {
    require_non_null({{host, "host"}, {out_dir, "out_dir"}});
    if (clock_param <= 0) clock_param = TANDREL_DEFAULT_CLOCK_PARAM;
    if (set_clock != 0) {
        const auto param = static_cast<uint16_t>(clock_param & 0xFFFF);
        on_fresh_connection(host, [&](ModbusTcpClient& client) { set_meter_clock(client, param); });
    }
    int total = 0;
    for (int file = 1; file <= 3; ++file) total += export_datalog_file(host, out_dir, file);
    return total + export_event_file(host, out_dir);
}

}  // namespace tandrel
