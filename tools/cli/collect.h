// The work of `tandrel collect`: each meter's identity, log directory, data
// logs and event log read into its own folder, up to `jobs` meters at once.
// The identity read (device_info.json) also learns or checks the model.
// Every meter runs on its own thread and its own library session, one
// connection for all its files; the tool holds no lock around a library
// call, so the meters are read side by side as the library allows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "meter_folder.h"
#include "progress.h"
#include "site_names.h"

namespace tandrel_cli {

struct CollectSettings {
    std::string out_dir;
    int jobs = 8;
    int timeout_ms = 0;  // 0: the library's default
};

enum class MeterStatus { Ok, Failed, Cancelled, NotStarted };

struct CollectedFile {
    std::string name;
    int records = -1;  // -1: a JSON document, not a log
};

struct MeterReport {
    SiteMeter meter;
    std::string model;  // read as: the site file's, or the one the identity named; "" unknown
    MeterStatus status = MeterStatus::NotStarted;
    FolderState folder = FolderState::None;  // what the meter's folder holds now
    std::vector<CollectedFile> files;  // complete files, in the order they were written
    std::string failed_file;           // the file in the making when the meter failed or stopped
    std::string message;               // why it failed: the library's message, or the tool's
    double seconds = 0;
};

// "ok", "failed", "cancelled", "not started".
const char* status_name(MeterStatus status);

// Reads every meter and returns one report per meter, in the site file's
// order. A file appears under its name only when complete: it is written as
// NAME.part and renamed, and a part left by a failure or Ctrl-C is removed.
// A meter's folder is replaced whole when the meter finishes (meter_folder.h).
// After Ctrl-C no further meter starts. `finished` runs on the worker thread
// of each meter that ran.
std::vector<MeterReport> collect_site(const std::vector<SiteMeter>& meters,
                                      const CollectSettings& settings, ProgressBoard& board,
                                      const std::function<void(const MeterReport&)>& finished);

}  // namespace tandrel_cli
