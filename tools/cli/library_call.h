// The library's statuses mapped to the tool's exit codes, failures printed
// with their hints, and the library's log messages on stderr for --verbose.
// The calls themselves go through the site layer's document_call.h.
#pragma once

#include <string>

#include "arguments.h"
#include "hints.h"
#include "site_names.h"
#include "tandrel.h"

namespace tandrel_cli {

// Exit statuses of the tool, shared by every subcommand so that scripts can
// tell a failed meter call from a mistyped command line or a Ctrl-C.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_CANCELLED = 130;  // the shell's convention for SIGINT

int exit_code_for_status(int status);

// Prints "tandrel: <message>" on stderr, and "hint: ..." after it where the
// message has one, and returns the exit code for `status`.
int report_failure(int status, const std::string& message, const FailureContext& context = {});

// The common tail of the document commands: prints the library's JSON as is
// (`json`) or through `view`, or the failure; returns the exit code.
using DocumentView = std::string (*)(const JsonValue& doc);
int print_document(const CallResult& result, bool json, DocumentView view,
                   const FailureContext& context);

// "[debug] Connected to h:502\n": one library log message as --verbose prints it.
std::string log_line(int level, const char* message);
void enable_verbose_log();

}  // namespace tandrel_cli
