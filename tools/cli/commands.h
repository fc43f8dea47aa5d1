// The subcommands. Each cmd_<name>.cpp declares its options and help on the
// subcommand it is given and returns the function that runs it; the list in
// commands.cpp is the only place that names them all.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "arguments.h"

namespace CLI {
class App;
}

namespace tandrel_cli {

// Runs a parsed subcommand and returns its exit code.
using CommandRun = std::function<int()>;
using CommandDeclare = CommandRun (*)(CLI::App& parent);

const std::vector<CommandDeclare>& command_list();

CommandRun declare_info(CLI::App& parent);
CommandRun declare_points(CLI::App& parent);
CommandRun declare_read(CLI::App& parent);
CommandRun declare_live(CLI::App& parent);
CommandRun declare_logs(CLI::App& parent);
CommandRun declare_datalog(CLI::App& parent);
CommandRun declare_events(CLI::App& parent);
CommandRun declare_export_em133(CLI::App& parent);
CommandRun declare_diagnostics(CLI::App& parent);
CommandRun declare_collect(CLI::App& parent);
CommandRun declare_history(CLI::App& parent);
CommandRun declare_serve(CLI::App& parent);  // where the build has it (TANDREL_HAS_SERVE)
CommandRun declare_demo(CLI::App& parent);

// Work shared with `demo`, which runs the same steps against its simulator.
// Each reads the meter's identity first unless an earlier step did
// (model_check.h), and leaves the model it chose in `target`.
int run_info(Target& target, bool json);
int run_read(Target& target, const std::vector<std::string>& points, bool json);
int run_live_once(Target& target, bool json);
int run_logs(Target& target, bool json);

}  // namespace tandrel_cli
