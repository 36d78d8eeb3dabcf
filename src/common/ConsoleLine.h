#pragma once
// Diagnostic lines on standard output. A line is its items separated by one
// space: a text item in double quotation marks, a number in decimal, a byte or
// number list as decimal values in square brackets separated by ", ".
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

#include "common/Bytes.h"

namespace qx {

struct ConsoleItem {
    ConsoleItem(const char* text) : value(std::string(text)) {}
    ConsoleItem(std::string text) : value(std::move(text)) {}
    ConsoleItem(std::int64_t number) : value(number) {}
    ConsoleItem(int number) : value(std::int64_t{number}) {}
    ConsoleItem(const Bytes& bytes) : value(std::vector<std::int64_t>(bytes.begin(), bytes.end())) {}
    ConsoleItem(std::vector<std::int64_t> numbers) : value(std::move(numbers)) {}

    std::variant<std::string, std::int64_t, std::vector<std::int64_t>> value;
};

std::string formatConsoleLine(std::initializer_list<ConsoleItem> items);

// Writes one formatted line (with its newline) to the console sink.
void consoleLine(std::initializer_list<ConsoleItem> items);

// Where lines go: standard output by default. Tests and the command-line tool
// install their own sink; an empty function restores standard output.
using ConsoleSink = std::function<void(const std::string& line)>;
void setConsoleSink(ConsoleSink sink);

}  // namespace qx
