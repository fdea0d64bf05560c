// Exceptions of the add-in. They are thrown as pointers and deleted by whoever handles them (call
// Delete(), which leaves the static cancel instance alone).
#pragma once

#include <cstddef>
#include <cstdint>

#include "addin/host/shared.h"

namespace qs {

class CException {
public:
    virtual ~CException() = default;
    // Copies the message into `buf` (size bytes, always terminated); sets *helpId when given.
    // Returns false when the exception has no text.
    virtual bool GetErrorMessage(char* buf, size_t size, unsigned* helpId = nullptr) const;
    // Deletes the exception unless it is a static instance.
    void Delete();

protected:
    bool m_autoDelete = true;
};

// "Out of memory": also what an aborted or uncalculated host call raises.
class CMemoryException : public CException {
public:
    CMemoryException() = default;
    // A static instance for memory exhaustion, when a new one may not be had; Delete() leaves it.
    static CMemoryException* Exhausted();
    bool GetErrorMessage(char* buf, size_t size, unsigned* helpId = nullptr) const override;

private:
    explicit CMemoryException(bool autoDelete) { m_autoDelete = autoDelete; }
};

// A failing automation call.
class COleDispatchException : public CException {
public:
    explicit COleDispatchException(CSharedString text) : m_text(std::move(text)) {}
    bool GetErrorMessage(char* buf, size_t size, unsigned* helpId = nullptr) const override;

private:
    CSharedString m_text;
};

// A user-facing problem: a message text and the help id of the string it came from (0 for raw text).
class CStdException : public CException {
public:
    CStdException(CSharedString text, unsigned helpId) : m_text(std::move(text)), m_helpId(helpId) {}
    bool GetErrorMessage(char* buf, size_t size, unsigned* helpId = nullptr) const override;
    const CSharedString& Text() const { return m_text; }
    unsigned HelpId() const { return m_helpId; }

private:
    CSharedString m_text;
    unsigned m_helpId;
};

// A host-call failure: adds the spreadsheet error code an export gives back when it ends with it.
class XlException : public CStdException {
public:
    XlException(CSharedString text, uint16_t xlError, unsigned helpId = 0)
        : CStdException(std::move(text), helpId), m_xlError(xlError) {}
    uint16_t XlError() const { return m_xlError; }

private:
    uint16_t m_xlError;
};

// ESC pressed. One static instance is thrown; Delete() leaves it alone.
class CancelKeyException : public CException {
public:
    static CancelKeyException* Instance();
    bool GetErrorMessage(char* buf, size_t size, unsigned* helpId = nullptr) const override;

private:
    CancelKeyException() { m_autoDelete = false; }
};

// Runs `f`, dropping a failure the add-in raised: for clean-up steps that go on past one that fails.
template <class F>
void Guarded(F&& f) {
    try {
        f();
    } catch (CException* e) {
        e->Delete();
    }
}

}  // namespace qs
