// The swap of a meter's folder and the repair of an interrupted one.
#include "meter_folder.h"

#include <stdexcept>
#include <string>
#include <system_error>

#include "directory_swap.h"

namespace tandrel_site {
namespace {

namespace fs = std::filesystem;

fs::path beside(const fs::path& path, const char* suffix) {
    return fs::path(path.string() + suffix);
}

[[noreturn]] void fail(const char* what, const fs::path& path, const std::error_code& ec) {
    throw std::runtime_error(std::string(what) + " " + path.string() + ": " + ec.message());
}

void remove_tree(const fs::path& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) fail("Cannot remove", path, ec);
}

void move(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) fail("Cannot rename", from, ec);
}

bool present(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

}  // namespace

const char* folder_state_name(FolderState state) {
    switch (state) {
        case FolderState::New: return "new";
        case FolderState::Previous: return "previous";
        case FolderState::Partial: return "partial";
        case FolderState::None: return "none";
    }
    return "";
}

MeterFolder::MeterFolder(fs::path path, bool swap_in_one_step)
    : path_(std::move(path)), work_(beside(path_, ".new")), old_(beside(path_, ".old")),
      swap_in_one_step_(swap_in_one_step) {
    // NAME.old alone: a run stopped between its two renames; the folder it
    // was replacing comes back, as a failed run would have left it.
    if (present(old_)) {
        if (present(path_))
            remove_tree(old_);
        else
            move(old_, path_);
    }
    remove_tree(work_);
    std::error_code ec;
    fs::create_directories(work_, ec);
    if (ec) fail("Cannot create directory", work_, ec);
}

FolderState MeterFolder::commit() {
    if (!present(path_)) {
        move(work_, path_);
        return FolderState::New;
    }
    // Once the new folder has its name the meter is done: what is left of
    // the previous one and fails to go is removed by the next run's repair.
    std::error_code ec;
    if (swap_in_one_step_ && exchange_directories(work_.string(), path_.string())) {
        fs::remove_all(work_, ec);  // the previous folder, now under NAME.new
        return FolderState::New;
    }
    move(path_, old_);
    fs::rename(work_, path_, ec);
    if (ec) {
        std::error_code ignored;
        fs::rename(old_, path_, ignored);
        fail("Cannot rename", work_, ec);
    }
    fs::remove_all(old_, ec);
    return FolderState::New;
}

FolderState MeterFolder::abandon() noexcept {
    std::error_code ec;
    if (present(path_)) {
        fs::remove_all(work_, ec);
        return FolderState::Previous;
    }
    if (fs::is_empty(work_, ec) || ec) {
        fs::remove_all(work_, ec);
        return FolderState::None;
    }
    fs::rename(work_, path_, ec);
    return ec ? FolderState::None : FolderState::Partial;
}

}  // namespace tandrel_site
