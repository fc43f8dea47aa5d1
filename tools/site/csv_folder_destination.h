// The destination of `collect --out DIR`: each meter's identity, log
// directory and logs as files in its own folder, DIR/HOST_PORT_UNIT, which
// a meter read completely replaces whole (meter_folder.h). A file appears
// under its name only when complete: it is written as NAME.part and renamed,
// and a part left by a failure or a stop is removed.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "collect_destination.h"

namespace tandrel_site {

class CsvFolderDestination : public CollectDestination {
public:
    explicit CsvFolderDestination(std::filesystem::path out_dir) : out_dir_(std::move(out_dir)) {}

    std::string identity_name() const override { return "device_info.json"; }
    std::string directory_name() const override { return "logs.json"; }
    std::string log_name(const LogEntry& log) const override;

    void begin_meter(const SiteMeter& meter) override;
    void take_identity(const std::string& device_info, MeterReport& report) override;
    void take_directory(const std::string& logs_document, MeterReport& report) override;
    StepResult read_log(MeterSession& session, const LogEntry& log, StepContext& step,
                        MeterReport& report) override;
    void end_meter(MeterReport& report) override;

private:
    std::filesystem::path out_dir_;
    std::filesystem::path path_;  // the meter's folder
    std::optional<MeterFolder> folder_;

    void save_document(const std::string& name, const std::string& text, MeterReport& report);
    void publish(const std::string& name, int records, MeterReport& report);
};

}  // namespace tandrel_site
