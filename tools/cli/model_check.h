// Which model a command reads a meter as. The library trusts the model it is
// given and reads wrong values from a meter of another model, so the tool
// does not guess: it reads the meter's identity once per command and learns
// the model from it, or checks the one given against it. The user may insist
// on a model (--force-model, `force-model` in a site file): then the identity
// is not read at all.
#pragma once

#include <string>

#include "arguments.h"
#include "hints.h"
#include "library_call.h"

namespace tandrel_cli {

// What the identity read brought.
struct Identity {
    CallResult info;        // the device information; status < 0: the read or the check failed
    bool reusable = false;  // info.text was read as the chosen model, so `info` and `collect` use it as is
};

// Reads the device information unless `target.check_model` is false, sets
// `target.meter` to the chosen model and clears `check_model`, so that a
// command reads the identity once however many calls it makes.
Identity identify(Target& target);

// The device information as the chosen model reads it: the identity read
// itself when it was read as that model, else a second read; or the identity
// read's failure.
CallResult identified_device_info(Target& target);

// identify() with its failure reported on stderr, hinted as `setting` says
// the model was given; EXIT_OK or the exit code.
int check_model(Target& target, ModelSetting setting = ModelSetting::MeterOption);

}  // namespace tandrel_cli
