// Shared by the SQLite and PostgreSQL stores.
#include "store_common.h"

#include <stdexcept>

namespace tandrel_site {
namespace {

void append_quoted(std::string& out, const std::string& text) {
    static const char HEX[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += HEX[byte >> 4];
            out += HEX[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

std::string columns_json(const std::vector<LogColumn>& columns) {
    std::string text = "[";
    for (const LogColumn& column : columns) {
        if (text.size() > 1) text += ',';
        text += "{\"name\":";
        append_quoted(text, column.name);
        text += ",\"unit\":";
        append_quoted(text, column.unit);
        text += ",\"decimals\":" + std::to_string(column.decimals) + "}";
    }
    return text + "]";
}

const char* kind_name(LogKind kind) {
    switch (kind) {
        case LogKind::Datalog: return "datalog";
        case LogKind::Eventlog: return "eventlog";
    }
    return "";
}

void check_batch_fits(const LogRef& log, const DatalogBatch& batch) {
    check_log_kind(log, LogKind::Datalog);
    for (size_t i = 0; i < batch.size(); ++i) {
        DatalogRow row = batch[i];
        if (row.value_count > log.columns)
            throw std::runtime_error("Record seq " + std::to_string(row.seq) + " of data log " +
                                     std::to_string(log.file_id) + " holds " +
                                     std::to_string(row.value_count) + " values for " +
                                     std::to_string(log.columns) + " columns");
    }
}

void check_log_kind(const LogRef& log, LogKind kind) {
    if (log.kind != kind)
        throw std::runtime_error("Log file " + std::to_string(log.file_id) + " is a " +
                                 kind_name(log.kind) + ", not a " + kind_name(kind));
}

void migrate_schema(const std::vector<Migration>& steps, int version, const std::string& store,
                    const std::function<void(const char*)>& exec) {
    for (const Migration& step : steps) {
        if (step.from != version) continue;
        for (const char* sql : step.statements) exec(sql);
        ++version;
    }
    if (version != SCHEMA_VERSION)
        throw std::runtime_error(store + " is a tandrel store of schema version " +
                                 std::to_string(version) + ", which this tandrel cannot migrate");
}

int checked_schema_version(int version, const std::string& store) {
    if (version > SCHEMA_VERSION)
        throw std::runtime_error(store + " is a tandrel store of schema version " +
                                 std::to_string(version) + ", newer than this tandrel's " +
                                 std::to_string(SCHEMA_VERSION) + ": use a newer tandrel");
    return version;
}

void require_current_schema(int version, const std::string& store) {
    if (version < SCHEMA_VERSION)
        throw std::runtime_error(store + " is a tandrel store of schema version " +
                                 std::to_string(version) + ": store into it once to update it");
}

}  // namespace tandrel_site
