#include "Halvorn/Diagnostic.h"

#include <utility>

namespace {

std::string Count(int count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// Values quoted from the file may hold line ends and other control
// characters; a report stays on its one line, as editors read it.
std::string OneLine(const std::string& text)
{
    static const char Hex[] = "0123456789abcdef";
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else if (c == '\t') {
            line += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            line += std::string("\\x") + Hex[byte >> 4] + Hex[byte & 0xf];
        } else {
            line += c;
        }
    }
    return line;
}

} // namespace

Diagnostic::Diagnostic(std::string file, int line, int column, Severity severity, std::string message)
    : mFile(std::move(file)), mLine(line), mColumn(column), mSeverity(severity), mMessage(std::move(message))
{
}

std::string Diagnostic::Format() const
{
    return OneLine(mFile) + ":" + std::to_string(mLine) + ":" + std::to_string(mColumn) + ": " +
           SeverityText(mSeverity) + ": " + OneLine(mMessage);
}

const char* Diagnostic::SeverityText(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        return "note";
    }
    return "error";
}

std::string Diagnostic::Summary(const std::vector<Diagnostic>& diagnostics)
{
    int errors = 0;
    int warnings = 0;
    for (const Diagnostic& diagnostic : diagnostics) {
        errors += diagnostic.mSeverity == Severity::Error ? 1 : 0;
        warnings += diagnostic.mSeverity == Severity::Warning ? 1 : 0;
    }
    return Count(errors, "error") + ", " + Count(warnings, "warning");
}
