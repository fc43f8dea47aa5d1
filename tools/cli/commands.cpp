// The one list of subcommands, in the order `tandrel --help` shows them.
#include "commands.h"

namespace tandrel_cli {

const std::vector<CommandDeclare>& command_list() {
    static const std::vector<CommandDeclare> COMMANDS = {
        declare_info,     declare_points,  declare_read,         declare_live,
        declare_logs,     declare_datalog, declare_events,       declare_export_em133,
        declare_diagnostics, declare_collect, declare_history,
#ifdef TANDREL_HAS_SERVE
        declare_serve,
#endif
        declare_demo,
    };
    return COMMANDS;
}

}  // namespace tandrel_cli
