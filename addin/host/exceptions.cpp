#include "addin/host/exceptions.h"

#include <cstring>

namespace qs {

namespace {
bool CopyText(std::string_view text, char* buf, size_t size) {
    if (buf && size > 0) {
        size_t n = Utf8Cut(text, size - 1);
        if (n > 0) std::memcpy(buf, text.data(), n);  // an empty view may have no data at all
        buf[n] = 0;
    }
    return !text.empty();
}
}  // namespace

bool CException::GetErrorMessage(char* buf, size_t size, unsigned* helpId) const {
    if (helpId) *helpId = 0;
    return CopyText({}, buf, size);
}

void CException::Delete() {
    if (m_autoDelete) delete this;
}

CMemoryException* CMemoryException::Exhausted() {
    static CMemoryException instance(false);
    return &instance;
}

bool CMemoryException::GetErrorMessage(char* buf, size_t size, unsigned* helpId) const {
    if (helpId) *helpId = 0;
    return CopyText("Out of memory.", buf, size);
}

bool COleDispatchException::GetErrorMessage(char* buf, size_t size, unsigned* helpId) const {
    if (helpId) *helpId = 0;
    return CopyText(m_text.view(), buf, size);
}

bool CStdException::GetErrorMessage(char* buf, size_t size, unsigned* helpId) const {
    if (helpId) *helpId = m_helpId;
    return CopyText(m_text.view(), buf, size);
}

CancelKeyException* CancelKeyException::Instance() {
    static CancelKeyException instance;
    return &instance;
}

bool CancelKeyException::GetErrorMessage(char* buf, size_t size, unsigned* helpId) const {
    if (helpId) *helpId = 0;
    return CopyText({}, buf, size);
}

}  // namespace qs
