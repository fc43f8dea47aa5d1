// A meter's folder under `collect --out`: replaced whole when the meter
// finishes, left as it was when it fails, and repaired after a run that
// stopped half-way through the swap. Each case lays out folders, runs one
// meter's worth of MeterFolder, and compares what is on disk afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "meter_folder.h"
#include "support/temp_dir.h"

namespace tandrel_site {
namespace {

namespace fs = std::filesystem;

// "NAME/a NAME.old/b": files (each holding its own name) below `root`.
void lay_out(const fs::path& root, const std::string& layout) {
    std::istringstream words(layout);
    for (std::string file; words >> file;) {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file) << file;
    }
}

// The same notation for what is below `root` now; an empty folder shows as "DIR/".
std::string layout_of(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory() && !fs::is_empty(entry.path())) continue;
        names.insert(fs::relative(entry.path(), root).generic_string() +
                     (entry.is_directory() ? "/" : ""));
    }
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
}

enum class Ending { Finish, Fail };

struct Case {
    const char* before;  // what earlier runs left
    const char* writes;  // what this run writes into the folder it is given
    Ending ending;
    const char* after;
    FolderState state;
};

const Case CASES[] = {
    {"", "n", Ending::Finish, "NAME/n", FolderState::New},
    // Replaced whole: no file of the previous run stays beside this run's.
    {"NAME/a NAME/n", "n", Ending::Finish, "NAME/n", FolderState::New},
    {"NAME/a", "n", Ending::Fail, "NAME/a", FolderState::Previous},
    {"", "n", Ending::Fail, "NAME/n", FolderState::Partial},
    {"", "", Ending::Fail, "", FolderState::None},
    // Stopped between the two renames: the previous folder comes back.
    {"NAME.old/a NAME.new/x", "", Ending::Fail, "NAME/a", FolderState::Previous},
    {"NAME.old/a NAME.new/x", "n", Ending::Finish, "NAME/n", FolderState::New},
    // Stopped before the previous folder was removed, or while writing.
    {"NAME/a NAME.old/b", "n", Ending::Fail, "NAME/a", FolderState::Previous},
    {"NAME/a NAME.new/x", "", Ending::Finish, "NAME/", FolderState::New},
};

TEST(MeterFolder, ReplacedWholeKeptOnFailureRepairedAfterACrash) {
    tandrel::testing::TempDir dir;
    const fs::path& scratch = dir.path();
    int number = 0;
    for (const Case& c : CASES) {
        for (bool one_step : {true, false}) {
            fs::path root = scratch / std::to_string(++number);
            fs::create_directories(root);
            lay_out(root, c.before);
            MeterFolder folder(root / "NAME", one_step);
            ASSERT_TRUE(fs::is_empty(folder.work())) << c.before;
            lay_out(folder.work(), c.writes);
            FolderState state = c.ending == Ending::Finish ? folder.commit() : folder.abandon();
            EXPECT_EQ(layout_of(root), c.after) << c.before << " one step: " << one_step;
            EXPECT_EQ(folder_state_name(state), std::string(folder_state_name(c.state))) << c.before;
        }
    }
}

// A folder that cannot be created is the meter's failure, not the tool's crash.
TEST(MeterFolder, RefusesWhatItCannotCreate) {
    tandrel::testing::TempDir dir;
    const fs::path& scratch = dir.path();
    std::ofstream(scratch / "file") << "x";
    EXPECT_THROW(MeterFolder(scratch / "file" / "NAME"), std::runtime_error);
}

}  // namespace
}  // namespace tandrel_site
