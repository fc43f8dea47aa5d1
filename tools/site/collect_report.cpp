// The names of a meter's outcome, as the summaries print them.
#include "collect_report.h"

namespace tandrel_site {

const char* status_name(MeterStatus status) {
    switch (status) {
        case MeterStatus::Ok: return "ok";
        case MeterStatus::Failed: return "failed";
        case MeterStatus::Cancelled: return "cancelled";
        case MeterStatus::NotStarted: return "not started";
    }
    return "";
}

std::string stored_text(const MeterReport& report) {
    if (report.new_records == 0 && report.new_events == 0) return "0 new";
    return std::to_string(report.new_records) + " new records, " +
           std::to_string(report.new_events) + " new events";
}

}  // namespace tandrel_site
