#pragma once
// Reading and writing the words of the settings, button and effects commands.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Outcome.h"
#include "config/FunctionTables.h"

namespace qx::cli {

// How long each step of a command waits for the looper's answer, and how
// long a command waits for a looper to answer at all.
inline constexpr std::chrono::seconds kLooperWait{6};
inline constexpr std::chrono::seconds kFindLooper{20};

// A whole decimal number, sign allowed; nothing for anything else.
std::optional<std::int64_t> parseNumber(const std::string& text);
// Equal but for letter case.
bool sameWord(const std::string& a, const std::string& b);
// The words from index from on, joined by single spaces.
std::string joinWords(const std::vector<std::string>& words, std::size_t from);
// Prints the line to standard error; returns the failure status, 1.
int fail(const std::string& line);
// Prints how a command ended: on standard output when it succeeded (status
// 0), else on standard error (status 1).
int tell(const Outcome& outcome);
// A function by its number or its exact name ("-1" is no function).
std::optional<QX2Function> parseFunction(const std::string& text);
// "Stop (16)", "(none)".
std::string functionText(std::int64_t id);

}  // namespace qx::cli
