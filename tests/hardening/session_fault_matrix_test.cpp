// Each session read against the simulator's faults, at each request of the
// read: a break fails the read with the plain calls' message and nothing is
// sent after it; a whole answer that fails the read keeps the connection. In
// either case the next read on the session gives the fault-free result, the
// one after a break on a new connection with the identity and setup read again.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "small_meter.h"

namespace hardening {
namespace {

// Long enough that a loaded machine does not time out a fault-free request,
// short enough for the silence faults, which wait it out.
constexpr int TIMEOUT_MS = 1000;

struct SessionRead {
    const char* name;
    // Runs the read; its document, lines or file bytes go to output.
    std::function<int(tandrel_session*, const std::string& path, std::string& output, char* err)> run;
};

int TANDREL_CALL keep_line(const char* text, void* user) {
    *static_cast<std::string*>(user) += std::string(text) + "\n";
    return 0;
}

using DocumentRead = int(TANDREL_CALL*)(tandrel_session*, char*, int, char*, int);
SessionRead document(const char* name, DocumentRead f) {
    return {name, [f](tandrel_session* s, const std::string&, std::string& output, char* err) {
                std::vector<char> out(1 << 16);
                const int status = f(s, out.data(), static_cast<int>(out.size()), err, 256);
                if (status >= 0) output = out.data();
                return status;
            }};
}

using StreamRead = int(TANDREL_CALL*)(tandrel_session*, int, tandrel_output_cb, void*, char*, int);
SessionRead stream(const char* name, StreamRead f, int file) {
    return {name, [f, file](tandrel_session* s, const std::string&, std::string& output, char* err) {
                return f(s, file, keep_line, &output, err, 256);
            }};
}

using ExportRead = int(TANDREL_CALL*)(tandrel_session*, int, const char*, tandrel_progress_cb, void*,
                                     char*, int);
SessionRead file_export(const char* name, ExportRead f, int file) {
    return {name, [f, file](tandrel_session* s, const std::string& path, std::string& output, char* err) {
                const int status = f(s, file, path.c_str(), nullptr, nullptr, err, 256);
                output = file_bytes(path);
                return status;
            }};
}

const std::vector<SessionRead>& session_reads() {
    static const std::vector<SessionRead> reads = {
        document("read_live", tandrel_session_read_live),
        {"read_points",
         [](tandrel_session* s, const std::string&, std::string& output, char* err) {
             std::vector<char> out(1 << 16);
             const int status = tandrel_session_read_points(s, "4352, 5120, 0x0C01", out.data(),
                                                            static_cast<int>(out.size()), err, 256);
             if (status >= 0) output = out.data();
             return status;
         }},
        document("read_device_info", tandrel_session_read_device_info),  // setup due every call
        document("list_logs", tandrel_session_list_logs),
        stream("read_datalog", tandrel_session_read_datalog, 1),
        stream("read_eventlog", tandrel_session_read_eventlog, 0),
        file_export("export_datalog", tandrel_session_export_datalog, 1),
        file_export("export_eventlog", tandrel_session_export_eventlog, 0),
    };
    return reads;
}

struct Fault {
    const char* name;
    std::string rule;     // as a scenario file gives it, less the request number
    bool breaks;          // else a whole answer that may fail the read
    bool every_request;   // else the first, the middle and the last (the slow ones)
    const char* message;  // of a read that failed
};

const std::vector<Fault>& faults() {
    static const std::vector<Fault> list = {
        {"close", "\"action\":\"close\"", true, true, "socket recv failed"},
        {"mbap_length", "\"action\":\"mbap_length\",\"mbap_length\":300", true, true, "Invalid MBAP length: 300"},
        {"silence", "\"action\":\"silence\"", true, false, "socket recv failed"},
        {"exception", "\"action\":\"exception\",\"code\":2", false, true, "Modbus exception 2"},
    };
    return list;
}

struct Scenario {
    const SessionRead* read;
    const Fault* fault;
};

std::string name_of(const Scenario& s) { return std::string(s.read->name) + "_" + s.fault->name; }
void PrintTo(const Scenario& s, std::ostream* os) { *os << name_of(s); }

std::vector<Scenario> scenarios() {
    std::vector<Scenario> list;
    for (const SessionRead& read : session_reads()) {
        for (const Fault& fault : faults()) list.push_back({&read, &fault});
    }
    return list;
}

struct Outcome {
    int status;
    std::string err, output;
};

class SessionFaultMatrix : public ::testing::TestWithParam<Scenario> {
protected:
    Outcome run(tandrel_session* s) {
        char err[256] = "";
        std::string output;
        const int status = GetParam().read->run(s, path, output, err);
        return {status, err, mask_timestamps(output)};
    }

    tandrel_session* open() {
        char err[256] = "";
        const std::string opts = options_for(*sim, TIMEOUT_MS).insert(1, "\"setup_max_age_ms\":0,");
        tandrel_session* s = tandrel_open("127.0.0.1", "em235", opts.c_str(), err, sizeof err);
        EXPECT_NE(s, nullptr) << err;
        return s;
    }

    TempDir dir;
    const std::string path = dir.file("out.csv");
    const std::unique_ptr<tandrel_sim::Simulator> sim = start_meter(Model::EM235, "127.0.0.1", 0, 1u << 20);
};

bool expected_message(const std::string& err, const Fault& fault) {
    return err == fault.message || err == std::string("No values could be read: ") + fault.message;
}

TEST_P(SessionFaultMatrix, EveryRequestOfTheRead) {
    const Fault& fault = *GetParam().fault;
    tandrel_session* s = open();
    ASSERT_NE(s, nullptr);
    const Outcome baseline = run(s);
    ASSERT_GE(baseline.status, 0) << baseline.err;
    tandrel_close(s);
    ASSERT_TRUE(connections_closed(*sim));

    sim->clear_requests();
    s = open();
    const int opened = static_cast<int>(sim->requests().size());
    sim->clear_requests();
    ASSERT_EQ(run(s).status, baseline.status);
    const int total = static_cast<int>(sim->requests().size());  // the read's own, setup included
    tandrel_close(s);
    std::set<int> positions;
    for (int n = 1; n <= total; ++n) positions.insert(n);
    if (!fault.every_request) positions = {1, std::max(1, total / 2), total};

    int failures = 0;
    for (const int n : positions) {
        SCOPED_TRACE("fault at request " + std::to_string(n) + " of " + std::to_string(total));
        sim->clear_faults();
        sim->clear_requests();
        s = open();
        ASSERT_NE(s, nullptr);
        const int connections = sim->connections_accepted();
        tandrel_sim::apply_scenario("{\"faults\":[{\"request\":" + std::to_string(opened + n) + "," +
                                        fault.rule + "}]}",
                                    *sim);
        const Outcome faulted = run(s);
        if (faulted.status == -1) {
            ++failures;
            EXPECT_TRUE(expected_message(faulted.err, fault)) << "message: " << faulted.err;
        }
        if (fault.breaks) {
            EXPECT_EQ(faulted.status, -1) << "a broken connection was reported as success";
            EXPECT_EQ(static_cast<int>(sim->requests().size()), opened + n) << "a request after the break";
        }
        sim->clear_faults();
        const Outcome next = run(s);
        EXPECT_EQ(next.status, baseline.status) << next.err;
        EXPECT_EQ(next.output, baseline.output);
        EXPECT_EQ(sim->connections_accepted(), connections + (faulted.status == -1 && fault.breaks ? 1 : 0))
            << "a break must reconnect once, a whole answer never";
        tandrel_close(s);
        ASSERT_TRUE(connections_closed(*sim)) << "the session's connection was left open";
    }
    if (fault.breaks) {
        EXPECT_GT(failures, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Session, SessionFaultMatrix, ::testing::ValuesIn(scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& p) { return name_of(p.param); });

}  // namespace
}  // namespace hardening
