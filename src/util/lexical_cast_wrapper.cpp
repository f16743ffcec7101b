#include "util/lexical_cast_wrapper.h"

#include "util/custom_assert.h"
#include "util/text_util.h"

namespace diagnostics {

void ReportLexicalCastError(const std::wstring& operation, const char* what) {
    const std::wstring whatText = text::FromUtf8(what ? what : "");
    RT_ASSERT(true, false, operation.c_str(), L"[%s], [%s]", operation.c_str(), whatText.c_str());
}

void ReportLexicalCastFailure(const std::wstring& operation) {
    RT_ASSERT(true, false, operation.c_str(), L"[%s]", operation.c_str());
}

}  // namespace diagnostics
