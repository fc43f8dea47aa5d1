// The session's open and the model check on the identity it read.
#include "meter_session.h"

#include <exception>

#include "model_choice.h"

namespace tandrel_site {

CallResult MeterSession::open(MeterTarget& target) {
    ErrorBuffer err;
    const char* meter = target.meter.empty() ? nullptr : target.meter.c_str();
    session_ = tandrel_open(target.host.c_str(), meter, target.options.c_str(), err.data(), err.size());
    if (session_ == nullptr) return CallResult{-1, "", err.str()};
    CallResult info = fetch(tandrel_session_read_device_info);
    if (info.status < 0 || !target.check_model) return info;
    try {
        target.meter = choose_model(target.meter, model_id_of(info.text), target.address);
    } catch (const std::exception& e) {
        return CallResult{-1, "", e.what()};
    }
    target.check_model = false;
    return info;
}

CallResult MeterSession::fetch(SessionDocumentCall call) const {
    return fetch_document([&](char* out, int out_len, char* err, int err_len) {
        return call(session_, out, out_len, err, err_len);
    });
}

}  // namespace tandrel_site
