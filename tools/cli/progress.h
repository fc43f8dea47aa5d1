// The progress display of CSV exports. On a terminal: a bar with records done
// of total, rate, elapsed time and the time left, redrawn in place (a spinner and the count
// when the meter did not announce a total). Elsewhere: plain lines, at most
// one a second, so a log file does not fill with carriage returns.
// ProgressBoard shows several transfers at once, one line each.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

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

// Transfers running side by side (`collect`): one line per busy slot, redrawn
// in place on a terminal. Worker threads only record their state under a
// short lock; the thread that owns the display does all the writing, so a
// library callback never waits on the terminal. Off a terminal only the notes
// are printed.
class ProgressBoard {
public:
    ProgressBoard(std::FILE* out, bool terminal, int slots);

    // From any thread. `counted`: the step reports records (a log export).
    void begin(int slot, std::string label, bool counted);
    void update(int slot, int done, int total);
    void end(int slot);
    // A line printed once, above the board.
    void note(std::string line);

    // From the display thread only: prints the pending notes and the board.
    void draw();
    // Prints the pending notes and takes the board off the screen.
    void close();

private:
    struct Slot {
        bool busy = false;
        bool counted = false;
        std::string label;
        int done = 0;
        int total = -1;
        std::chrono::steady_clock::time_point start;
    };

    std::FILE* out_;
    bool terminal_;
    std::mutex mutex_;  // guards slots_ and notes_
    std::vector<Slot> slots_;
    std::vector<std::string> notes_;
    int lines_on_screen_ = 0;
    int frame_ = 0;

    std::vector<std::string> board_lines();
    void write(const std::vector<std::string>& notes, const std::vector<std::string>& lines);
};

}  // namespace tandrel_cli
