#include "common/ConsoleLine.h"

#include <cstdio>
#include <mutex>

namespace qx {
namespace {

std::mutex sinkLock;
ConsoleSink& currentSink()
{
    static ConsoleSink sink;
    return sink;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string listText(const std::vector<std::int64_t>& numbers)
{
    std::string out = "[";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i) out += ", ";
        out += std::to_string(numbers[i]);
    }
    return out + "]";
}

}  // namespace

std::string formatConsoleLine(std::initializer_list<ConsoleItem> items)
{
    std::string line;
    bool first = true;
    for (const ConsoleItem& item : items) {
        if (!first) line += ' ';
        first = false;
        if (auto text = std::get_if<std::string>(&item.value)) line += quoted(*text);
        else if (auto number = std::get_if<std::int64_t>(&item.value)) line += std::to_string(*number);
        else line += listText(std::get<std::vector<std::int64_t>>(item.value));
    }
    return line;
}

void consoleLine(std::initializer_list<ConsoleItem> items)
{
    const std::string line = formatConsoleLine(items);
    std::lock_guard guard(sinkLock);
    if (currentSink()) {
        currentSink()(line);
    } else {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

void setConsoleSink(ConsoleSink sink)
{
    std::lock_guard guard(sinkLock);
    currentSink() = std::move(sink);
}

}  // namespace qx
