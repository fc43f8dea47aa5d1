// Progress bar and plain progress lines for CSV exports.
#include "progress.h"

#include <cstdio>

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
    std::string tail = "  " + rate_text(done, elapsed_s) + "  " + elapsed_text(elapsed_s);
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

}  // namespace tandrel_cli
