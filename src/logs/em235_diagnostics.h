// The em235 diagnostics word written to a small CSV file with its bits labelled.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tandrel {

// The bits 0-25 that have a meaning; bits 6, 18, 19 and 23 have none.
const std::map<int, std::string>& bit_labels();

// The work behind tandrel_export_em235_diagnostics; returns 26, the bit rows
// written. The file is created only after the word was read.
int export_em235_diagnostics_impl(const char* host, int unit_id, int register_no, int count,
                                  const char* word_order, const char* csv_path);

// "HI_FIRST" (exactly) makes word1 the high half; any other text word0.
uint32_t diagnostics_value(uint16_t word0, uint16_t word1, const std::string& word_order);

// The whole file: the raw words and value, a blank line, then 26 bit rows.
std::string diagnostics_csv(uint16_t word0, uint16_t word1, const std::string& word_order);

}  // namespace tandrel
