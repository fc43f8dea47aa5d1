// The common tail of the document commands: print the library's JSON as is
// (--json) or through a view, and map the status to an exit code.
#pragma once

#include <string>

#include "json_reader.h"
#include "library_call.h"

namespace tandrel_cli {

using DocumentView = std::string (*)(const JsonValue& doc);

int print_document(const CallResult& result, bool json, DocumentView view);

}  // namespace tandrel_cli
