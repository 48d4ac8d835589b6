#include "Halvorn/Diagnostic.h"

#include <utility>

namespace {

std::string Count(int count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

} // namespace

Diagnostic::Diagnostic(std::string file, int line, int column, Severity severity, std::string message)
    : mFile(std::move(file)), mLine(line), mColumn(column), mSeverity(severity), mMessage(std::move(message))
{
}

std::string Diagnostic::Format() const
{
    return mFile + ":" + std::to_string(mLine) + ":" + std::to_string(mColumn) + ": " + SeverityText(mSeverity) +
           ": " + mMessage;
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
