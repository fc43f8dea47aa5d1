// Which model a meter is read as. The library trusts the model it is given
// and reads wrong values from a meter of another model, so the site's tools
// do not guess: they learn the model from the meter's identity, or check the
// one given against it.
#pragma once

#include <string>

namespace tandrel_site {

// The model to read a meter as, from the model given ("" for none) and the
// model id its identity reports. Pure, so that the identity may come from any
// read of it. Throws std::runtime_error naming both when they disagree, or
// naming the id when it is unknown and no model was given.
std::string choose_model(const std::string& given, long long reported_id,
                         const std::string& address);

// The model id of a device information document; -1 when it has none.
long long model_id_of(const std::string& device_info);

}  // namespace tandrel_site
