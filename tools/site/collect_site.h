// The work of `tandrel collect` and of the service's scheduled collections:
// each meter's identity, log directory, data logs and event log read into
// the destinations asked for (CSV folders, a store, or both), up to `jobs`
// meters at once. Every meter runs on a worker thread with its own library
// session, one connection for all its files; no lock is held around a
// library call, so the meters are read side by side as the library allows.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "collect_observer.h"
#include "collect_report.h"
#include "site_file.h"

namespace tandrel_site {

struct CollectOptions {
    std::string out_dir;    // "": no CSV folders
    std::string db_target;  // "": no store (store.h names what a target may be)
    int jobs = 8;
    int timeout_ms = 0;  // 0: the library's default
    // 0: each meter's session has a connection of its own. N: the sessions
    // take the connection numbers of poll_plan with per_host N, and so share
    // the connections of a service's polls instead of adding to them.
    int per_host = 0;
};

// Reads every meter of the site and returns one report per meter, in the
// site file's order. Each worker opens a store of its own. With both
// destinations each log is transferred twice: once as the library's CSV
// file, once streamed into the store.
// Once `stop` is set, the transfers in hand stop (what they stored is kept)
// and no further meter starts. Throws std::runtime_error, before any meter
// is read, when the output folder cannot be made or the store not opened.
std::vector<MeterReport> collect_site(const SiteFile& site, const CollectOptions& options,
                                      CollectObserver& observer, std::atomic<bool>& stop);

}  // namespace tandrel_site
