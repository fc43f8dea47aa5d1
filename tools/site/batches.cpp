// The batches' buffers and the checks a record passes on its way in: what a
// store keeps must be what the library gave, in the form the key relies on.
#include "batches.h"

#include <stdexcept>

#include "record_time.h"

namespace tandrel_site {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// One JSON number from `at`: -?digits(.digits)?([eE][+-]?digits)?; returns the
// position after it, or npos when there is none.
size_t number_end(std::string_view text, size_t at) {
    if (at < text.size() && text[at] == '-') ++at;
    size_t digits = at;
    while (at < text.size() && is_digit(text[at])) ++at;
    if (at == digits) return std::string_view::npos;
    if (at < text.size() && text[at] == '.') {
        size_t fraction = ++at;
        while (at < text.size() && is_digit(text[at])) ++at;
        if (at == fraction) return std::string_view::npos;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        size_t exponent = at;
        while (at < text.size() && is_digit(text[at])) ++at;
        if (at == exponent) return std::string_view::npos;
    }
    return at;
}

void check_time_and_seq(std::string_view time, int seq) {
    if (!is_record_time(time))
        throw std::runtime_error("Record time '" + std::string(time.substr(0, 40)) +
                                 "' is not of the form 2026-12-05T13:42:07.123Z");
    if (seq < 0 || seq > 65535)
        throw std::runtime_error("Record seq " + std::to_string(seq) + " is outside 0-65535");
}

}  // namespace

TextSlice TextArena::add(std::string_view text) {
    TextSlice slice{static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(text.size())};
    text_.append(text);
    return slice;
}

int number_array_size(std::string_view text) {
    if (text.size() < 2 || text.front() != '[' || text.back() != ']') return -1;
    if (text.size() == 2) return 0;
    int count = 0;
    size_t at = 1;
    for (;;) {
        at = number_end(text, at);
        if (at == std::string_view::npos) return -1;
        ++count;
        if (at == text.size() - 1) return count;
        if (text[at] != ',') return -1;
        ++at;
    }
}

void DatalogBatch::add(std::string_view time, int seq, std::string_view trigger,
                       std::string_view values) {
    check_time_and_seq(time, seq);
    int count = number_array_size(values);
    if (count < 0)
        throw std::runtime_error("Record seq " + std::to_string(seq) +
                                 " has values that are not a list of numbers");
    rows_.push_back({text_.add(time), text_.add(trigger), text_.add(values), seq, count});
}

DatalogRow DatalogBatch::operator[](size_t i) const {
    const Stored& row = rows_[i];
    return {text_.at(row.time), row.seq, text_.at(row.trigger), text_.at(row.values),
            row.value_count};
}

void DatalogBatch::clear() {
    text_.clear();
    rows_.clear();
}

void EventBatch::add(const EventRow& row) {
    check_time_and_seq(row.time, row.seq);
    rows_.push_back({text_.add(row.time), text_.add(row.cause), text_.add(row.point),
                     text_.add(row.state), text_.add(row.effect), text_.add(row.target), row.seq,
                     row.event_no, row.source_id, row.effect_id, row.value_triggered});
}

EventRow EventBatch::operator[](size_t i) const {
    const Stored& row = rows_[i];
    return {text_.at(row.time),   row.seq,
            row.event_no,         text_.at(row.cause),
            text_.at(row.point),  text_.at(row.state),
            text_.at(row.effect), text_.at(row.target),
            row.source_id,        row.effect_id,
            row.value_triggered};
}

void EventBatch::clear() {
    text_.clear();
    rows_.clear();
}

}  // namespace tandrel_site
