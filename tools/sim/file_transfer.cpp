// File transfer and File Info state machines; see file_transfer.h.
#include "file_transfer.h"

#include <algorithm>

#include "simulator.h"

namespace tandrel_sim {

namespace {

constexpr std::uint16_t INFO_AREA_WORDS = 48;  // request 8, status 8, answer 32

std::size_t start_index(const LogFile& f) {
    const int cp = f.info.current_pos < 0 ? f.info.start_pos : f.info.current_pos;
    const std::size_t idx = static_cast<std::uint16_t>(cp - f.info.start_pos);
    return std::min(idx, f.records.size());
}

Cursor& cursor_for(const LogFile& f, TransferState& st, int file) {
    Cursor& c = st.cursors[file];
    if (c.generation != f.generation) {
        c = Cursor{};
        c.generation = f.generation;
        c.index = start_index(f);
    }
    return c;
}

bool covers(const LogScenario& s, LogScenario::Kind kind, int presentation) {
    return s.kind == kind && presentation >= s.presentation &&
           presentation < s.presentation + std::max(1, s.times);
}

// The scenario of that kind acting on this presentation, if any.
const LogScenario* scenario_at(const LogFile& f, LogScenario::Kind kind, int presentation) {
    for (const LogScenario& s : f.info.scenarios) {
        if (kind == LogScenario::Kind::OversizeHeader) {
            if (s.kind == kind && s.presentation == presentation) return &s;
        } else if (covers(s, kind, presentation)) {
            return &s;
        }
    }
    return nullptr;
}

std::vector<std::uint16_t> block_header(int file, std::size_t index, std::size_t count,
                                        std::uint16_t size, std::size_t total) {
    const std::size_t after = total > index + count ? total - index - count : 0;
    return {static_cast<std::uint16_t>(file), static_cast<std::uint16_t>(index), 0,
            static_cast<std::uint16_t>(std::min<std::size_t>(after, 0xFFFF)),
            static_cast<std::uint16_t>(count), size,
            static_cast<std::uint16_t>(std::min<std::size_t>(total, 0xFFFF)), 0};
}

void present_block(const LogFile& f, TransferState& st, int file) {
    Cursor& c = cursor_for(f, st, file);
    const int p = ++c.presentations;
    st.block_file = file;
    st.block_presentation = p;
    st.block_acknowledged = false;
    st.block_records = 0;
    const std::size_t total = f.records.size();
    if (scenario_at(f, LogScenario::Kind::EmptyHeader, p) != nullptr) {
        st.region = block_header(file, c.index, 0, f.record_words, total);
        return;
    }
    if (const LogScenario* s = scenario_at(f, LogScenario::Kind::OversizeHeader, p)) {
        st.region = block_header(file, c.index, s->count, s->size, total);
        return;
    }
    const std::size_t per_block = static_cast<std::size_t>(std::max(1, f.info.records_per_block));
    const std::size_t count = std::min(per_block, total - std::min(total, c.index));
    st.region = block_header(file, c.index, count, f.record_words, total);
    for (std::size_t i = 0; i < count; ++i) {
        const Record& r = f.records[c.index + i];
        st.region.insert(st.region.end(), r.begin(), r.end());
    }
    st.block_records = count;
}

const LogFile* find(const LogMap& logs, int file) {
    const auto it = logs.find(file);
    return it == logs.end() ? nullptr : &it->second;
}

std::vector<std::uint16_t> info_var0(const LogFile& f, const TransferState& st, int file) {
    std::vector<std::uint16_t> w(14, 0);
    const std::size_t count = f.info.announced_records >= 0
                                  ? static_cast<std::size_t>(f.info.announced_records)
                                  : f.records.size();
    std::size_t index = start_index(f);
    const auto c = st.cursors.find(file);
    if (c != st.cursors.end() && c->second.generation == f.generation) index = c->second.index;
    w[0] = static_cast<std::uint16_t>(file);
    w[2] = f.record_words;
    w[3] = static_cast<std::uint16_t>(f.info.records_per_block);
    w[8] = static_cast<std::uint16_t>(std::min<std::size_t>(count, 0xFFFF));
    w[10] = static_cast<std::uint16_t>(f.info.start_pos + index);
    w[12] = f.info.start_pos;
    return w;
}

std::vector<std::uint16_t> info_var2(const LogFile& f) {
    std::vector<std::uint16_t> w(18, 0);
    if (!f.info.layout_override.empty()) {
        std::copy_n(f.info.layout_override.begin(), std::min<std::size_t>(18, f.info.layout_override.size()),
                    w.begin());
        return w;
    }
    const std::size_t n = std::min<std::size_t>(16, f.point_ids.size());
    w[1] = static_cast<std::uint16_t>(n);
    std::copy_n(f.point_ids.begin(), n, w.begin() + 2);
    return w;
}

}  // namespace

int transfer_command(const LogMap& logs, TransferState& st, const std::vector<std::uint16_t>& words) {
    if (words.size() < 2) return 3;
    const int file = words[1];
    const LogFile* f = find(logs, file);
    switch (words[0]) {
    case 5:
        if (f == nullptr) return 2;
        st.cursors.erase(file);
        cursor_for(*f, st, file);
        st.block_file = -1;
        st.region.assign(8, 0);
        return 0;
    case 3: {
        if (f == nullptr) return 2;
        if (words.size() < 5) return 3;
        Cursor& c = cursor_for(*f, st, file);
        c.index = std::min<std::size_t>(static_cast<std::uint16_t>(words[4] - f->info.start_pos),
                                         f->records.size());
        return 0;
    }
    case 11:
        if (f == nullptr) return 2;
        present_block(*f, st, file);
        return 0;
    default:
        return 3;
    }
}

int transfer_acknowledge(const LogMap& logs, TransferState& st, std::uint16_t value) {
    if (value != 1) return 3;
    if (st.block_file < 0 || st.block_acknowledged) return 0;
    st.block_acknowledged = true;
    const LogFile* f = find(logs, st.block_file);
    if (f == nullptr) return 0;
    Cursor& c = cursor_for(*f, st, st.block_file);
    if (scenario_at(*f, LogScenario::Kind::RepeatBlock, st.block_presentation) == nullptr) {
        c.index = std::min(c.index + st.block_records, f->records.size());
    }
    return 0;
}

int file_info_request(const LogMap& logs, TransferState& st, const std::vector<std::uint16_t>& words) {
    if (words.size() < 6 || words[0] != 9) return 3;
    st.info_words.fill(0);
    std::copy_n(words.begin(), std::min<std::size_t>(8, words.size()), st.info_words.begin());
    const int file = words[1];
    const int variation = words[5];
    const LogFile* f = find(logs, file);
    st.info_ok = f != nullptr && ((variation == 0 && f->info.file_info) ||
                                  (variation == 2 && f->info.layout));
    if (st.info_ok) st.info_response = variation == 0 ? info_var0(*f, st, file) : info_var2(*f);
    st.info_words[8] = 9;
    st.info_words[9] = static_cast<std::uint16_t>(file);
    st.info_words[13] = static_cast<std::uint16_t>(variation);
    st.info_words[15] = st.info_ok ? 0 : 1;
    // A new request ends any presented block: its data area would shadow the answer.
    st.block_file = -1;
    st.region.assign(8, 0);
    return 0;
}

int transfer_read(const TransferState& st, std::uint16_t address, int count,
                  std::vector<std::uint16_t>& out) {
    const std::size_t offset = static_cast<std::uint16_t>(address - reg::BLOCK_HEADER);
    if (offset >= st.region.size()) return -1;
    out.assign(static_cast<std::size_t>(count), 0);
    for (std::size_t i = 0; i < out.size() && offset + i < st.region.size(); ++i) {
        out[i] = st.region[offset + i];
    }
    return 0;
}

int file_info_read(const TransferState& st, std::uint16_t address, int count,
                   std::vector<std::uint16_t>& out) {
    const std::size_t offset = static_cast<std::uint16_t>(address - reg::FILE_INFO_REQUEST);
    if (offset >= INFO_AREA_WORDS) return -1;
    if (offset + static_cast<std::size_t>(count) > INFO_AREA_WORDS) return 2;
    if (offset + static_cast<std::size_t>(count) > 16 && !st.info_ok) return 2;
    out.assign(static_cast<std::size_t>(count), 0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t o = offset + i;
        if (o < 16) {
            out[i] = st.info_words[o];
        } else if (o - 16 < st.info_response.size()) {
            out[i] = st.info_response[o - 16];
        }
    }
    return 0;
}

}  // namespace tandrel_sim
