// A meter's folder under `collect --out`, replaced whole by each run that
// reads the meter completely, so that it never mixes two runs' files. A run
// writes NAME.new beside NAME; when the meter finishes, NAME.new takes NAME's
// place in one step where the system can swap folders, else by two renames
// back to back (NAME to NAME.old, NAME.new to NAME). A meter that fails or is
// stopped leaves the previous folder as it was.
#pragma once

#include <filesystem>

namespace tandrel_site {

// What NAME holds once the meter is done.
enum class FolderState {
    New,       // this run's files, complete
    Previous,  // the previous run's folder, untouched: this run failed
    Partial,   // this run failed and there was no previous folder: the files it finished
    None,      // no folder: this run finished no file and there was none before
};

// "new", "previous", "partial", "none".
const char* folder_state_name(FolderState state);

class MeterFolder {
public:
    // Repairs what a run that crashed in the middle left (a stale NAME.new;
    // NAME.old beside or instead of NAME) and starts an empty NAME.new.
    // Throws std::runtime_error when a folder cannot be created or moved.
    // `swap_in_one_step` false renames one after the other even where the
    // system could swap, as it must elsewhere (a test takes that road too).
    explicit MeterFolder(std::filesystem::path path, bool swap_in_one_step = true);

    // Where this run writes: NAME.new.
    const std::filesystem::path& work() const { return work_; }

    // The meter finished: NAME.new becomes NAME. Throws std::runtime_error
    // when it cannot, leaving NAME as it was.
    FolderState commit();

    // The meter failed or was stopped: NAME stays as it was, or, when there
    // was none, becomes the files this run finished. Never throws.
    FolderState abandon() noexcept;

private:
    std::filesystem::path path_;
    std::filesystem::path work_;
    std::filesystem::path old_;
    bool swap_in_one_step_;
};

}  // namespace tandrel_site
