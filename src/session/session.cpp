// The session's setup cache: when it is read again, and the check that the
// meter answering after a reconnect is still the one the session opened.
#include "session/session.h"

#include <utility>

namespace tandrel {

void throw_invalid_session() { throw std::runtime_error("Invalid session handle"); }

Session::Session(std::shared_ptr<SessionConnection> connection, const Options& options,
                 const SessionOptions& session_options, std::optional<MeterModel> model)
    : connection_(std::move(connection)),
      options_(options),
      session_options_(session_options),
      model_(model) {}

std::string Session::endpoint() const {
    return connection_->host() + ":" + std::to_string(options_.port);
}

void Session::open() {
    run([](const SessionView&) { return 0; });
}

void Session::abort() {
    aborted_ = true;
    connection_->interrupt(this);
}

bool Session::setup_due() const {
    if (!info_ || info_generation_ != connection_->generation()) return true;
    const auto age = std::chrono::steady_clock::now() - info_read_at_;
    return age >= std::chrono::milliseconds(session_options_.setup_max_age_ms);
}

// The first read learns the model when none was given; every later one reads
// what the plain device-information call reads, as the model first chosen.
void Session::refresh(ModbusTcpClient& client) {
    DeviceInfo info;
    info.identity = read_identity(client);
    if (info_) {
        check_same_meter(info.identity);
    } else if (!model_) {
        MeterModel model{};
        if (!model_for_id(info.identity.model_id, model)) {
            throw std::runtime_error("the meter at " + endpoint() + " reports model id " +
                                     std::to_string(info.identity.model_id) +
                                     ", which is none of " + all_model_names());
        }
        model_ = model;
    }
    read_setup(client, *model_, info);
    info_ = std::move(info);
    info_generation_ = connection_->generation();
    info_read_at_ = std::chrono::steady_clock::now();
}

// A cached setup must never scale the values of another meter: a different
// serial or model id at the address refuses every later call.
void Session::check_same_meter(const DeviceIdentity& now) {
    const DeviceIdentity& opened = info_->identity;
    std::string what;
    if (now.serial != opened.serial) {
        what = "serial " + std::to_string(now.serial) + ", not " + std::to_string(opened.serial);
    } else if (now.model_id != opened.model_id) {
        what = "model id " + std::to_string(now.model_id) + ", not " +
               std::to_string(opened.model_id);
    } else {
        return;
    }
    refused_ = "the meter at " + endpoint() + " now reports " + what + "; open a new session";
    throw std::runtime_error(refused_);
}

}  // namespace tandrel
