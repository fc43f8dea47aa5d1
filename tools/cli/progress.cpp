// Progress bar and plain progress lines for CSV exports; the board of several.
#include "progress.h"

#include <cstdio>

#include "platform.h"

namespace tandrel_cli {
namespace {

constexpr int BAR_WIDTH = 30;
constexpr const char* SPINNER = "|/-\\";
constexpr auto TERMINAL_REDRAW = std::chrono::milliseconds(80);
constexpr auto PLAIN_LINE_EVERY = std::chrono::seconds(1);

std::string rate_text(int done, double elapsed_s) {
    char text[32];
    double rate = elapsed_s > 0 ? done / elapsed_s : 0.0;
    std::snprintf(text, sizeof text, "%.1f rec/s", rate);
    return text;
}

// The time left at the rate so far, when the total is known and the transfer
// has begun and not ended.
std::string left_text(int done, int total, double elapsed_s) {
    if (total <= 0 || done <= 0 || done >= total || elapsed_s <= 0) return "";
    return "  " + elapsed_text(elapsed_s * (total - done) / done) + " left";
}

std::string bar(int done, int total) {
    int filled = total > 0 ? static_cast<int>(static_cast<long long>(done) * BAR_WIDTH / total) : 0;
    if (filled > BAR_WIDTH) filled = BAR_WIDTH;
    if (filled < 0) filled = 0;
    return "[" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, '-') + "]";
}

}  // namespace

std::string elapsed_text(double seconds) {
    if (seconds < 0) seconds = 0;
    long tenths = static_cast<long>(seconds * 10 + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

std::string progress_text(int done, int total, double elapsed_s, int frame, bool terminal) {
    std::string count = std::to_string(done) + (total >= 0 ? "/" + std::to_string(total) : "");
    std::string tail = "  " + rate_text(done, elapsed_s) + "  " + elapsed_text(elapsed_s) +
                       left_text(done, total, elapsed_s);
    if (!terminal) return count + " records" + tail;
    if (total >= 0) return bar(done, total) + " " + count + tail;
    return std::string(1, SPINNER[frame % 4]) + " " + count + " records" + tail;
}

ProgressLine::ProgressLine(std::FILE* out, bool terminal, std::string label)
    : out_(out), terminal_(terminal), label_(std::move(label)),
      start_(std::chrono::steady_clock::now()), last_draw_(start_) {}

double ProgressLine::elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressLine::update(int done, int total) {
    done_ = done;
    total_ = total;
    auto now = std::chrono::steady_clock::now();
    auto gap = terminal_ ? TERMINAL_REDRAW : std::chrono::steady_clock::duration(PLAIN_LINE_EVERY);
    if (drawn_ && now - last_draw_ < gap) return;
    last_draw_ = now;
    ++frame_;
    draw();
}

void ProgressLine::draw() {
    std::string text = label_ + " " + progress_text(done_, total_, elapsed(), frame_, terminal_);
    if (terminal_)
        std::fprintf(out_, "\r%s\x1b[K", text.c_str());
    else
        std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
    drawn_ = true;
}

void ProgressLine::finish() {
    if (finished_) return;
    finished_ = true;
    draw();
    if (terminal_) std::fputc('\n', out_);
    std::fflush(out_);
}

ProgressBoard::ProgressBoard(std::FILE* out, bool terminal, int slots)
    : out_(out), terminal_(terminal), slots_(static_cast<size_t>(slots)) {}

void ProgressBoard::begin(int slot, std::string label, bool counted) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slots_.at(static_cast<size_t>(slot));
    s = Slot{true, counted, std::move(label), 0, -1, std::chrono::steady_clock::now()};
}

void ProgressBoard::update(int slot, int done, int total) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slots_.at(static_cast<size_t>(slot));
    s.done = done;
    s.total = total;
}

void ProgressBoard::end(int slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.at(static_cast<size_t>(slot)).busy = false;
}

void ProgressBoard::note(std::string line) {
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.push_back(std::move(line));
}

std::vector<std::string> ProgressBoard::board_lines() {
    auto now = std::chrono::steady_clock::now();
    std::vector<std::string> lines;
    for (const Slot& s : slots_) {
        if (!s.busy) continue;
        double elapsed = std::chrono::duration<double>(now - s.start).count();
        lines.push_back(s.label + " " +
                        (s.counted ? progress_text(s.done, s.total, elapsed, frame_, true)
                                   : elapsed_text(elapsed)));
    }
    return lines;
}

void ProgressBoard::draw() {
    std::vector<std::string> notes;
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        notes.swap(notes_);
        if (terminal_) lines = board_lines();
    }
    ++frame_;
    write(notes, lines);
}

void ProgressBoard::close() {
    std::vector<std::string> notes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        notes.swap(notes_);
    }
    write(notes, {});
}

// On a terminal: back to the board's first line, clear below, then the notes
// and the lines again. A line cut to the width keeps the count of lines right.
void ProgressBoard::write(const std::vector<std::string>& notes,
                          const std::vector<std::string>& lines) {
    std::string text;
    if (lines_on_screen_ > 0) text += "\r\x1b[" + std::to_string(lines_on_screen_) + "A\x1b[J";
    for (const auto& note : notes) text += note + "\n";
    size_t columns = static_cast<size_t>(terminal_ ? terminal_size(out_).columns : 0);
    for (const auto& line : lines)
        text += (columns > 1 && line.size() >= columns ? line.substr(0, columns - 1) : line) + "\n";
    lines_on_screen_ = static_cast<int>(lines.size());
    if (text.empty()) return;
    std::fputs(text.c_str(), out_);
    std::fflush(out_);
}

}  // namespace tandrel_cli
