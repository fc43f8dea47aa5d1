// An open meter session: its connection (own or shared), its model, and the
// identity and setup read on that connection, kept and trusted until they age
// out or the connection is made anew. Every call runs through run(): one call
// at a time per session, the connection held for the whole call, the setup
// read again first when it is due, and a broken stream dropped at once.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/meter_model.h"
#include "core/options.h"
#include "meter/device_info.h"
#include "session/session_connection.h"
#include "session/session_options.h"

namespace tandrel {

// What a call on a session works with: the connected client, the model and
// the identity and setup, fresh.
struct SessionView {
    ModbusTcpClient& client;
    MeterModel model;
    const DeviceInfo& info;
};

class Session {
public:
    // model: the caller's, or none to take it from the identity at open.
    Session(std::shared_ptr<SessionConnection> connection, const Options& options,
            const SessionOptions& session_options, std::optional<MeterModel> model);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connects (or joins the shared connection) and reads the identity and setup.
    void open();

    // Runs work(SessionView) as one call of the session and returns its status.
    template <typename Work>
    int run(Work&& work);

    // From any thread (tandrel_close): no call starts any more, and a call
    // running now fails at once with its connection's failure.
    void abort();

private:
    class InUse;
    void refresh(ModbusTcpClient& client);
    bool setup_due() const;
    void check_same_meter(const DeviceIdentity& now);
    std::string endpoint() const;

    std::shared_ptr<SessionConnection> connection_;
    Options options_;
    SessionOptions session_options_;
    std::optional<MeterModel> model_;
    std::optional<DeviceInfo> info_;  // the identity of the first read, the setup of the last
    uint64_t info_generation_ = 0;
    std::chrono::steady_clock::time_point info_read_at_;
    std::string refused_;  // set when the meter at the address is no longer the one opened
    std::atomic<bool> in_use_{false};
    std::atomic<bool> aborted_{false};
};

// Holds the session's one-call-at-a-time flag; a second call, from another
// thread or from a callback of the running one, fails and sends nothing.
class Session::InUse {
public:
    explicit InUse(std::atomic<bool>& flag) : flag_(flag) {
        if (flag_.exchange(true)) throw std::runtime_error("Session is in use by another call");
    }
    ~InUse() { flag_ = false; }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;

private:
    std::atomic<bool>& flag_;
};

// The message every call on a closed or never-opened handle gets.
[[noreturn]] void throw_invalid_session();

template <typename Work>
int Session::run(Work&& work) {
    const InUse use(in_use_);
    const ConnectionTurn turn(*connection_, this);
    if (aborted_) throw_invalid_session();
    if (!refused_.empty()) throw std::runtime_error(refused_);
    try {
        ModbusTcpClient& client = connection_->client(options_);
        if (setup_due()) refresh(client);
        return work(SessionView{client, *model_, *info_});
    } catch (...) {
        connection_->drop_if_broken();
        throw;
    }
}

}  // namespace tandrel
