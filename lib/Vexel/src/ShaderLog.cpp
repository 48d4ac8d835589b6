#include "ShaderLog.h"

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>

std::vector<Diagnostic> ShaderLog::Parse(const std::string& file, const std::string& log, int lastLine)
{
    static const std::regex mesa(R"(^\s*\d+:(\d+)\((\d+)\):\s*error:\s*(.*)$)");
    static const std::regex nvidia(R"(^\s*\d+\((\d+)\)\s*:\s*error\s*\w*:\s*(.*)$)");
    static const std::regex other(R"(^\s*ERROR:\s*\d+:(\d+):\s*(.*)$)");
    const auto lineOf = [lastLine](const std::string& text) {
        const int line = std::max(1, std::atoi(text.c_str()));
        return lastLine > 0 ? std::min(line, lastLine) : line;
    };
    std::vector<Diagnostic> found;
    std::istringstream lines(log);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (std::regex_match(line, match, mesa)) {
            found.emplace_back(file, lineOf(match[1].str()), std::max(1, std::atoi(match[2].str().c_str())),
                               Diagnostic::Severity::Error, match[3]);
        } else if (std::regex_match(line, match, nvidia) || std::regex_match(line, match, other)) {
            found.emplace_back(file, lineOf(match[1].str()), 1, Diagnostic::Severity::Error, match[2]);
        } else if (line.find("error") != std::string::npos) {
            const std::string said = "error: ";
            const std::size_t at = line.find(said);
            found.emplace_back(
                file, 1, 1, Diagnostic::Severity::Error,
                at != std::string::npos && line.find_first_not_of(" \t") == at ? line.substr(at + said.size()) : line);
        }
    }
    return found;
}
