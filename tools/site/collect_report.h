// What a collection tells of each meter: how it ended, the files it wrote
// under --out, what it stored, and why it stopped when it did not finish.
#pragma once

#include <string>
#include <vector>

#include "meter_folder.h"
#include "site_file.h"

namespace tandrel_site {

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
    long new_records = 0;              // data-log records the store did not hold before
    long new_events = 0;
    std::string failed_file;  // the step in hand when the meter failed or stopped
    std::string message;      // why it failed: the library's message, or the tool's
    double seconds = 0;
};

// "ok", "failed", "cancelled", "not started".
const char* status_name(MeterStatus status);

// "12 new records, 3 new events", or "0 new" when the run added nothing.
std::string stored_text(const MeterReport& report);

}  // namespace tandrel_site
