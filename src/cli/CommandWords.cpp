#include "cli/CommandWords.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace qx::cli {

std::optional<std::int64_t> parseNumber(const std::string& text)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

bool sameWord(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) ==
                                                  std::tolower(static_cast<unsigned char>(y)); });
}

std::string joinWords(const std::vector<std::string>& words, std::size_t from)
{
    std::string out;
    for (std::size_t i = from; i < words.size(); ++i) out += (i > from ? " " : "") + words[i];
    return out;
}

int fail(const std::string& line)
{
    std::fflush(stdout);  // after what the command printed before, when both go to one file
    std::fprintf(stderr, "%s\n", line.c_str());
    return 1;
}

int tell(const Outcome& outcome)
{
    if (!outcome.success) return fail(outcome.text);
    std::printf("%s\n", outcome.text.c_str());
    return 0;
}

std::optional<QX2Function> parseFunction(const std::string& text)
{
    if (auto id = parseNumber(text)) return findFunction(*id);
    for (const auto& row : qx2Functions())
        if (row.name == text) return row;
    return std::nullopt;
}

std::string functionText(std::int64_t id)
{
    if (id == -1) return "(none)";
    if (auto row = findFunction(id)) return row->name + " (" + std::to_string(id) + ")";
    return "unknown function " + std::to_string(id);
}

}  // namespace qx::cli
