// In-process meter simulator: a Modbus TCP server on loopback that answers as
// an EM133 or an EM235 does (identification, setup, measurement families,
// clock, diagnostics word, File Info and log file transfer), with an explicit
// table of injected faults and a log of every request it received.
//
// It shares nothing with the library but the platform layer: its frame
// parser, register map and record layouts are a second, independent reading
// of the meter side, so each side checks the other.
//
// Thread safety: every public member may be called from any thread while the
// server threads answer; configuration changes apply to the next request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tandrel_sim {

enum class Model { EM133, EM235 };

// Register addresses the simulated meters share (zero-based protocol addresses).
namespace reg {
constexpr std::uint16_t IDENTIFICATION = 0xB400;   // 26 words
constexpr std::uint16_t EM133_PT_RATIO = 0x0901;   // ratio x 10
constexpr std::uint16_t EM133_HIGH_RES = 0x0956;   // 1 = on
constexpr std::uint16_t EM133_ENERGY_DECIMALS = 0x0959;
constexpr std::uint16_t EM235_PT_RATIO = 0xB481;
constexpr std::uint16_t EM235_ENERGY_DECIMALS = 0xB4B2;
constexpr std::uint16_t SUMMARY_SETUP = 0xDD60;    // 4 words per register, word 1 = unit code
constexpr std::uint16_t EM133_CLOCK = 0x1100;      // 7 words: s, min, h, day, month, year-2000, weekday
constexpr std::uint16_t EM133_CLOCK_PARAM = 0x0A0F;
constexpr std::uint16_t FILE_COMMAND = 0xF690;
constexpr std::uint16_t BLOCK_HEADER = 0xF6B0;     // 8 words, word 4 = count, word 5 = size
constexpr std::uint16_t BLOCK_DATA = 0xF6B8;
// The words of one block's records that fit between BLOCK_DATA and the last register.
constexpr int MAX_BLOCK_WORDS = 0x10000 - BLOCK_DATA;
constexpr std::uint16_t FILE_INFO_REQUEST = 0xFDB0;
constexpr std::uint16_t FILE_INFO_STATUS = 0xFDB8;
constexpr std::uint16_t FILE_INFO_RESPONSE = 0xFDC0;
}  // namespace reg

struct SimOptions {
    // false: deterministic meter (fixed values, fixed clock, no variation), so
    // that documents can be compared byte for byte.
    bool live = true;
    // The meter's clock in deterministic mode, and the end of the default
    // logs' time range there (seconds since 1970, UTC). 2026-01-01 00:00:00.
    std::uint32_t fixed_time = 1767225600;
    // false: start with no data logs and no event log.
    bool default_logs = true;
    // Requests kept in the request log; later requests are counted, not kept.
    std::size_t request_log_limit = 200000;

    static SimOptions deterministic() {
        SimOptions o;
        o.live = false;
        return o;
    }
};

// One request as the simulator parsed it.
struct Request {
    int connection = 0;              // 1 for the first connection accepted, 2 for the next ...
    int number = 0;                  // 1-based request number on its connection
    std::uint16_t transaction_id = 0;
    std::uint8_t unit_id = 0;
    std::uint8_t function = 0;
    std::uint16_t address = 0;       // 0 for function codes without an address
    std::uint16_t count = 0;         // registers read or written (1 for function 6)
    std::vector<std::uint16_t> values;  // written values (functions 6 and 16)
};

enum class FaultAction {
    Exception,           // answer Modbus exception `code`
    Delay,               // answer after `delay_ms`
    Silence,             // read the request, never answer it
    Close,               // close the connection instead of answering
    OneByteSegments,     // send the answer one byte per TCP segment
    WrongTransactionId,  // answer with transaction id + 1
    WrongFunctionCode,   // answer with the function code + 1
    BadByteCount,        // read answer whose byte count is one too small; a write echo gains a byte
    MbapLength,          // answer whose MBAP length field says `mbap_length`
};

// One rule of the fault table: a match, an action and a frequency. A request
// matches when every given criterion holds (-1 = any). Rules are tried in the
// order added; the first match acts.
struct Fault {
    int function = -1;        // function code
    int address_lo = -1;      // the request's registers touch [address_lo, address_hi]
    int address_hi = -1;
    int nth_request = -1;     // 1-based request number on its connection
    int unit_id = -1;
    FaultAction action = FaultAction::Exception;
    int code = 2;             // exception code for Exception
    int delay_ms = 0;         // for Delay
    int mbap_length = 0;      // for MbapLength
    bool once = true;         // once: acts on the first matching request only (any connection)

    // Every request touching the address, on every connection (always).
    static Fault exception_at(std::uint16_t address, int code = 2);
    static Fault exception_at_request(int n, int code = 2);
    static Fault delay_at_request(int n, int ms);
    static Fault silence_at_request(int n);
    static Fault close_at_request(int n);
    static Fault one_byte_segments();  // every answer, all connections (always)
    static Fault wrong_transaction_id_at_request(int n);
    static Fault wrong_function_code_at_request(int n);
    static Fault bad_byte_count_at_request(int n);
    static Fault mbap_length_at_request(int n, int length);

    // Builders that refine a rule: Fault::silence_at_request(2).always().
    Fault& always() { once = false; return *this; }
    Fault& for_function(int fc) { function = fc; return *this; }
    Fault& at_addresses(int lo, int hi) { address_lo = lo; address_hi = hi; return *this; }
    Fault& at_request(int n) { nth_request = n; return *this; }
    Fault& for_unit(int unit) { unit_id = unit; return *this; }
};

// Log misbehaviour, per file. "Presentation" p counts the block requests
// (command 11) on one connection since that file was selected, from 1.
struct LogScenario {
    enum class Kind {
        RepeatBlock,     // acks after presentations p .. p+times-1 do not advance: the block comes again
        EmptyHeader,     // presentations p .. p+times-1 answer a header with count 0
        RecordFlags,     // record `record` (0-based in the file) carries `flags` in word 0 (OR-ed)
        OversizeHeader,  // presentation p announces `count` records of `size` words, and no data
    };
    Kind kind = Kind::RepeatBlock;
    int presentation = 1;
    int times = 1;
    int record = 0;
    std::uint16_t flags = 0;
    // By default 70000 words: more than one read can ask for.
    std::uint16_t count = 7000;
    std::uint16_t size = 10;

    static LogScenario repeat_block(int presentation, int times);
    static LogScenario empty_header(int presentation, int times = 1);
    static LogScenario record_flags(int record, std::uint16_t flags);
    static LogScenario oversize_header(int presentation, std::uint16_t count = 7000,
                                       std::uint16_t size = 10);
};

// Common File Info settings of a log file.
struct FileInfoSetup {
    bool file_info = true;        // false: File Info variation 0 answers exception 2 (count unknown)
    bool layout = true;           // false: variation 2 answers exception 2
    int announced_records = -1;   // -1: the true count; else the count variation 0 reports
    std::uint16_t start_pos = 0;  // read position of the first record
    int current_pos = -1;         // -1: equal to start_pos; else the position a fresh selection starts at
    bool eof_flag = true;         // the last record carries flag 0x0001
    int records_per_block = 10;
    std::vector<std::uint16_t> layout_override;  // non-empty: the raw variation 2 answer (18 words)
    std::vector<LogScenario> scenarios;
};

// A data log (files 1-16). Record: flags, seq, seconds (2 words), microseconds
// (2 words), trigger, 0, then one signed 32-bit value per column, low word first.
struct DataLogSetup : FileInfoSetup {
    std::vector<std::uint16_t> point_ids;
    int records = 0;
    std::uint32_t first_time = 1767225600;
    std::uint32_t interval_s = 900;
    std::uint16_t first_seq = 1;
    std::uint16_t trigger = 0;
    int record_words = 0;  // 0 = 8 + 2 * columns; more pads with 0, fewer truncates
    // Raw value of column `column` in record `record`; empty: plausible values
    // for the column's point.
    std::function<std::int32_t(int record, int column)> value;
};

struct Event {
    std::uint16_t source_id = 0;
    std::uint16_t effect_id = 0;
    std::uint16_t event_no = 0;
    std::int32_t value = 0;
    std::uint32_t time = 0;
    std::uint32_t microseconds = 0;
};

// The event log (file 0). Record: flags, seq, seconds, microseconds, event no,
// source id, effect id, 0, value (2 words, low first): 12 words.
struct EventLogSetup : FileInfoSetup {
    std::vector<Event> events;
    std::uint16_t first_seq = 1;
    int record_words = 12;  // more pads with 0, fewer truncates
};

struct Identity {
    std::uint32_t serial = 0;
    std::uint32_t model_id = 0;
    std::string name;  // up to 16 bytes, padded with NUL
    std::uint32_t options = 0;
    std::uint16_t firmware_version = 0;
    std::uint16_t firmware_build = 0;
    std::uint16_t bootloader_version = 0;
    std::uint16_t bootloader_build = 0;
};

class SimulatorCore;

class Simulator {
public:
    explicit Simulator(Model model, SimOptions options = {});
    ~Simulator();  // stops the server
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Listens on address:port (port 0: an ephemeral port) and returns once
    // listening. Throws std::runtime_error when the address cannot be bound.
    void start(const std::string& address = "127.0.0.1", std::uint16_t port = 0);
    // Closes the listener and every connection and joins all threads. Idempotent.
    void stop();
    std::uint16_t port() const;
    Model model() const;

    // Registers. A register set here is pinned: the live variation never overwrites it.
    void set_register(std::uint16_t address, std::uint16_t value);
    void set_registers(std::uint16_t address, const std::vector<std::uint16_t>& values);
    void set_u32(std::uint16_t address, std::uint32_t value);  // low word first
    std::uint16_t register_value(std::uint16_t address) const;
    // Reads touching [lo, hi] answer exception code (remove: code 2).
    void remove_registers(std::uint16_t lo, std::uint16_t hi);
    void reject_range(std::uint16_t lo, std::uint16_t hi, int exception_code = 2);

    // Measurement points by point id, at the model's family addresses.
    // -1 when the id lies in no register family.
    static int point_address(Model model, std::uint16_t point_id);
    bool set_point_raw(std::uint16_t point_id, std::int32_t raw);  // false: no family
    std::optional<std::int32_t> point_raw(std::uint16_t point_id) const;

    void set_identity(const Identity& identity);
    // Setup shortcuts (they write the model's setup registers).
    void set_pt_ratio_x10(std::uint16_t ratio_x10);
    void set_high_resolution(bool on);  // EM133 only; ignored on an EM235
    void set_energy_decimals(std::uint16_t decimals);
    void set_summary_units(const std::vector<std::uint16_t>& unit_codes);

    // Logs. Replacing a log resets every connection's transfer state of it.
    // A log whose blocks would run past the last register (more than
    // MAX_BLOCK_WORDS words of records in one block) throws std::runtime_error
    // naming the log: no meter serves one. An oversize header is the scenario
    // for a meter that announces one.
    void set_datalog(int file, const DataLogSetup& log_setup);
    void set_eventlog(const EventLogSetup& log_setup);
    // Records given word for word (flags and sequence numbers included).
    void set_raw_log(int file, const std::vector<std::vector<std::uint16_t>>& records,
                     int records_per_block, const std::vector<std::uint16_t>& point_ids = {});
    void set_file_info(int file, const FileInfoSetup& info);  // keeps the records
    void add_log_scenario(int file, const LogScenario& scenario);
    void remove_log(int file);
    void clear_logs();
    // The records of a file exactly as served (scenario flags applied).
    std::vector<std::vector<std::uint16_t>> log_records(int file) const;

    // EM133 clock (registers 4352-4358). Live: ticks on from the value set or
    // written; deterministic: stays where it was set.
    void set_clock(std::uint32_t seconds);
    std::uint32_t clock_seconds() const;

    // EM235 diagnostics word: reads touching address..address+1 answer the two
    // words for unit_id and exception 2 for every other unit id.
    void set_diagnostics(std::uint16_t address, std::uint8_t unit_id, std::uint16_t word0,
                         std::uint16_t word1);

    void add_fault(const Fault& fault);
    void clear_faults();

    std::vector<Request> requests() const;
    void clear_requests();
    std::uint64_t requests_served() const;  // every parsed request, kept or not
    int connections_accepted() const;
    int open_connections() const;

    // One line per request and answer, for the command-line tool's --trace.
    // Called on server threads; must not call back into the simulator.
    void set_trace(std::function<void(const std::string& line)> trace);

private:
    std::unique_ptr<SimulatorCore> core_;
};

}  // namespace tandrel_sim
