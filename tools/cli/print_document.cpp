// Prints a fetched document or its failure.
#include "print_document.h"

#include <cstdio>

#include "exit_codes.h"

namespace tandrel_cli {

int print_document(const CallResult& result, bool json, DocumentView view) {
    if (result.status < 0) return report_failure(result.status, result.error);
    std::string text = json ? result.text + "\n" : view(parse_json(result.text));
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    return EXIT_OK;
}

}  // namespace tandrel_cli
