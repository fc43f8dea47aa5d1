// CSV output files. Every write goes through one std::FILE with a large
// buffer; the first failure is remembered so that close() can report it.
#include "logs/csv_file.h"

#include <stdexcept>
#include <utility>

namespace tandrel {
namespace {

constexpr size_t CSV_BUFFER_BYTES = 1 << 16;

}  // namespace

CsvFile::CsvFile(CsvFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      path_(std::move(other.path_)),
      failed_(other.failed_) {}

CsvFile::~CsvFile() {
    if (file_ != nullptr) std::fclose(file_);
}

void CsvFile::write(const std::string& text) {
    if (file_ == nullptr || text.empty()) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

void CsvFile::close() {
    if (file_ == nullptr) return;
    if (std::fflush(file_) != 0) failed_ = true;
    if (std::fclose(std::exchange(file_, nullptr)) != 0) failed_ = true;
    if (failed_) throw std::runtime_error("Cannot write CSV: " + path_);
}

CsvFile open_csv(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("Cannot open CSV: " + path);
    // A failed setvbuf only costs speed: the default buffer still works.
    std::setvbuf(file, nullptr, _IOFBF, CSV_BUFFER_BYTES);
    return CsvFile(file, path);
}

std::string csv_quote(const std::string& field) {
    if (field.find_first_of(",\"\n") == std::string::npos) return field;
    std::string quoted;
    quoted.reserve(field.size() + 2);
    quoted.push_back('"');
    for (const char c : field) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

}  // namespace tandrel
