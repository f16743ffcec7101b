#pragma once
// Number-to-text conversion that reports a failure instead of throwing.
#include <boost/lexical_cast.hpp>
#include <string>

namespace diagnostics {
// One report site each, shared by every instantiation of the template below.
void ReportLexicalCastError(const std::wstring& operation, const char* what);
void ReportLexicalCastFailure(const std::wstring& operation);
}  // namespace diagnostics

// Converts `value` to wide text into `out`; on failure reports under the
// operation's name and leaves `out` unchanged.
template <typename T>
bool boost_lexical_cast(const std::wstring& operation, const T& value, std::wstring& out) {
    try {
        std::wstring converted = boost::lexical_cast<std::wstring>(value);
        out.swap(converted);
        return true;
    } catch (const boost::bad_lexical_cast& e) {
        diagnostics::ReportLexicalCastError(operation, e.what());
    } catch (...) {
        diagnostics::ReportLexicalCastFailure(operation);
    }
    return false;
}
