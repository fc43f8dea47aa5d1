// tandrel: the command-line tool over the library's public interface.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "commands.h"
#include "library_call.h"
#include "tandrel.h"

namespace {

struct Registered {
    CLI::App* app;
    tandrel_cli::CommandRun run;
};

int run_parsed(const std::vector<Registered>& registered) {
    for (const auto& entry : registered)
        if (entry.app->parsed()) return entry.run();
    return tandrel_cli::EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Reads em133, em235 and pm335 energy meters over Modbus TCP."};
    app.name("tandrel");
    // The release, and the library's interface version, which hosts compare.
    app.set_version_flag("--version", std::string("tandrel " TANDREL_RELEASE " (library ") +
                                          tandrel_version() + ")");
    app.require_subcommand(1);
    app.fallthrough();
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "Show the library's log messages on stderr");
    app.footer("Run 'tandrel demo' to see every command against a built-in simulated meter.");

    std::vector<Registered> registered;
    for (auto declare : tandrel_cli::command_list()) {
        tandrel_cli::CommandRun run = declare(app);
        registered.push_back({app.get_subcommands({}).back(), std::move(run)});
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int cli11_code = app.exit(e);  // prints the help or the error
        return cli11_code == 0 ? tandrel_cli::EXIT_OK : tandrel_cli::EXIT_USAGE;
    }
    if (verbose) tandrel_cli::enable_verbose_log();
    try {
        return run_parsed(registered);
    } catch (const tandrel_site::InputError& e) {  // UsageError and malformed input
        std::cerr << "tandrel: " << e.what() << "\nRun with --help for more information.\n";
        return tandrel_cli::EXIT_USAGE;
    } catch (const std::exception& e) {
        std::cerr << "tandrel: " << e.what() << "\n";
        return tandrel_cli::EXIT_FAILED;
    }
}
