// Tables of cases kept as data, read_cases("<folder>/<name>") from
// tests/data: one case per line, fields separated by '|' and trimmed, '#'
// lines and blank lines skipped. \xHH in a field stands for that byte (\x20
// for a blank at either end, \x7c for '|'); every other character stands for
// itself. Shared by the unit folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tandrel::testing {

struct Case {
    std::string where;  // file:line, for the failure message
    std::vector<std::string> fields;
    const std::string& operator[](size_t i) const { return fields.at(i); }
};

inline std::string field_text(const std::string& raw) {
    const size_t first = raw.find_first_not_of(" \t"), last = raw.find_last_not_of(" \t");
    const std::string text = first == std::string::npos ? "" : raw.substr(first, last + 1 - first);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool escape = text.compare(i, 2, "\\x") == 0 && i + 3 < text.size();
        out += escape ? static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16))
                      : text[i];
        i += escape ? 3 : 0;
    }
    return out;
}

inline std::vector<Case> read_cases(const std::string& name) {
    std::ifstream in(std::string(TANDREL_TEST_DATA_DIR) + "/" + name);
    std::vector<Case> cases;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (field_text(line).empty() || field_text(line)[0] == '#') continue;
        Case c{name + ":" + std::to_string(number), {}};
        std::istringstream fields(line + "|");
        for (std::string raw; std::getline(fields, raw, '|');) c.fields.push_back(field_text(raw));
        cases.push_back(c);
    }
    EXPECT_FALSE(cases.empty()) << "no cases in " << name;
    return cases;
}

// A field holding a decimal or 0x-prefixed hexadecimal integer.
inline long long number(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 0); }

// A field holding such integers separated by blanks.
inline std::vector<long long> numbers(const std::string& field) {
    std::istringstream in(field);
    std::vector<long long> out;
    for (std::string word; in >> word;) out.push_back(number(word));
    return out;
}

}  // namespace tandrel::testing
