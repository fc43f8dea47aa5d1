// The progress display of CSV exports. On a terminal: a bar with records done
// of total, rate and elapsed time, redrawn in place (a spinner and the count
// when the meter did not announce a total). Elsewhere: plain lines, at most
// one a second, so a log file does not fill with carriage returns.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace tandrel_cli {

// "  45/120 records" style texts for one moment of an export; pure.
std::string progress_text(int done, int total, double elapsed_s, int frame, bool terminal);
std::string elapsed_text(double seconds);  // "0:07.3", "12:05.0"

class ProgressLine {
public:
    ProgressLine(std::FILE* out, bool terminal, std::string label);
    void update(int done, int total);
    // Draws the last state and ends the line.
    void finish();

private:
    std::FILE* out_;
    bool terminal_;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
    int done_ = 0;
    int total_ = -1;
    int frame_ = 0;
    bool drawn_ = false;
    bool finished_ = false;

    double elapsed() const;
    void draw();
};

}  // namespace tandrel_cli
