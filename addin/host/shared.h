// Reference counting bases of the add-in's model objects, and the add-in's text type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>

namespace qs {

// Intrusive reference count. A fresh object has count 0; the holder that takes it calls AddRef. The
// object deletes itself when Release brings the count from 1 to 0.
class CRefCounted {
public:
    CRefCounted() = default;
    CRefCounted(const CRefCounted&) : m_refs(0) {}
    CRefCounted& operator=(const CRefCounted&) { return *this; }
    virtual ~CRefCounted() = default;

    virtual void AddRef() { ++m_refs; }
    virtual void Release();
    // Objects that live for the whole load (static descriptors) answer true; they are never deleted
    // by Release.
    virtual bool IsStatic() const { return false; }

    uint32_t RefCount() const { return m_refs; }

private:
    uint32_t m_refs = 0;
};

// A shareable object: registered while it lives, so that an equal object of the same class can be
// found and used instead of a new one (Intern).
class CShared : public CRefCounted {
public:
    CShared();
    CShared(const CShared&);
    CShared& operator=(const CShared&) { return *this; }
    ~CShared() override;

    // Equality with another object of the same dynamic class; false unless a class defines it.
    virtual bool IsEqual(const CShared& other) const;

    // Returns a registered object of the same dynamic type equal to `obj`, deleting `obj` when nobody
    // holds it yet; returns `obj` itself when there is none.
    static CShared* Intern(CShared* obj);
    static size_t RegisteredCount();
};

template <class T>
T* Intern(T* obj) {
    return static_cast<T*>(CShared::Intern(obj));
}

// Holder of one reference.
template <class T>
class CRef {
public:
    CRef() = default;
    CRef(T* p) : m_p(p) {  // NOLINT: implicit by design
        if (m_p) m_p->AddRef();
    }
    CRef(const CRef& o) : CRef(o.m_p) {}
    CRef(CRef&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~CRef() {
        if (m_p) m_p->Release();
    }
    CRef& operator=(CRef o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// The add-in's text: a shared block (16-bit reference count, 16-bit length, the bytes and a zero)
// copied on write. An empty string has no block. At most 65535 bytes; longer text is cut without
// splitting a UTF-8 sequence.
class CSharedString {
public:
    static constexpr size_t kMaxLength = 65535;

    CSharedString() = default;
    CSharedString(const char* text);  // NOLINT: implicit by design
    CSharedString(std::string_view text);
    CSharedString(const std::string& text) : CSharedString(std::string_view(text)) {}
    CSharedString(const CSharedString& other);
    CSharedString(CSharedString&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    ~CSharedString();
    CSharedString& operator=(const CSharedString& other);
    CSharedString& operator=(CSharedString&& other) noexcept;

    const char* c_str() const;
    size_t length() const;
    bool empty() const { return length() == 0; }
    std::string_view view() const { return {c_str(), length()}; }
    std::string str() const { return std::string(view()); }
    operator std::string_view() const { return view(); }  // NOLINT

    CSharedString& operator+=(std::string_view more);
    // Writable access to byte i (makes the block private first).
    char& at(size_t i);
    void clear();

    // Number of holders of the block (0 for an empty string); for tests of sharing.
    unsigned ShareCount() const;

    friend bool operator==(const CSharedString& a, const CSharedString& b) { return a.view() == b.view(); }
    friend bool operator==(const CSharedString& a, std::string_view b) { return a.view() == b; }

private:
    struct Block;
    void Assign(std::string_view text);
    void MakePrivate();
    Block* m_block = nullptr;
};

// Length of `text` cut to at most `limit` bytes without splitting a UTF-8 sequence.
size_t Utf8Cut(std::string_view text, size_t limit);

}  // namespace qs
