// The site file of `tandrel collect`: one meter per line,
// `HOST[:PORT] [MODEL] [UNIT] [force-model]` (port 502 and unit 1 by
// default; without a model, the one the meter's identity reports), with `#`
// comments and blank lines. `force-model`, after a model, reads the meter as
// that model without checking its identity. `name=TEXT` last on a line names
// the meter for people (the service's labels, topics and page): TEXT runs to
// the end of the line or a `#`, spaces included. Parsing is pure: the text
// comes in, the meters and every malformed line's message go out.
#pragma once

#include <string>
#include <vector>

namespace tandrel_site {

struct SiteMeter {
    std::string host;
    int port = 502;
    std::string model;         // "": the model the meter reports
    bool force_model = false;  // read as `model` without checking the identity
    int unit = 1;
    std::string name;  // from `name=`; "" when the line gives none
    int line = 0;      // where the file names it, from 1
};

struct SiteError {
    int line;  // 0: the file as a whole
    std::string message;
};

struct SiteFile {
    std::vector<SiteMeter> meters;
    std::vector<SiteError> errors;  // in line order; any error means nothing may be read
};

SiteFile parse_site_file(const std::string& text);

// The text of the site file at `path`; throws InputError when it cannot be read.
std::string read_site_file(const std::string& path);

// "<host>_<port>_<unit>", the meter's folder under --out. Characters that a
// file name cannot hold on every system (the colons of an IPv6 address) become '-'.
std::string meter_dir_name(const SiteMeter& meter);

// "192.0.2.10:502", "[::1]:1502": the meter as the summary names it.
std::string meter_endpoint(const SiteMeter& meter);

}  // namespace tandrel_site
