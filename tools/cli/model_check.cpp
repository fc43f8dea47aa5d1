// The identity read and the choice of model that follows from it.
#include "model_check.h"

#include <exception>

#include "site_names.h"
#include "tandrel.h"

namespace tandrel_cli {
namespace {

// The identification block sits at the same registers on every model, so any
// model reads it; the setup part of the document is right only for this one.
constexpr const char* PROBE_MODEL = "em235";

}  // namespace

Identity identify(Target& target) {
    Identity identity;
    if (!target.check_model) return identity;
    Target probe = target;
    if (probe.meter.empty()) probe.meter = PROBE_MODEL;
    identity.info = fetch_document(tandrel_read_device_info, probe);
    if (identity.info.status < 0) return identity;
    try {
        target.meter = choose_model(target.meter, model_id_of(identity.info.text), target.address);
    } catch (const std::exception& e) {
        identity.info.status = -1;
        identity.info.error = e.what();
        return identity;
    }
    target.check_model = false;
    identity.reusable = read_alike(probe.meter, target.meter);
    return identity;
}

CallResult identified_device_info(Target& target) {
    Identity identity = identify(target);
    bool again = identity.info.status >= 0 && !identity.reusable;
    return again ? fetch_document(tandrel_read_device_info, target) : identity.info;
}

int check_model(Target& target, ModelSetting setting) {
    Identity identity = identify(target);
    if (identity.info.status >= 0) return EXIT_OK;
    // The command's own context without its log number: an exception 2 here
    // is about the identity, not a missing log.
    FailureContext context = failure_context(target);
    context.model_setting = setting;
    return report_failure(identity.info.status, identity.info.error, context);
}

}  // namespace tandrel_cli
