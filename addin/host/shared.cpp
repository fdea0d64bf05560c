#include "addin/host/shared.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_set>

#include "xll/xlcall.h"

namespace qs {

size_t Utf8Cut(std::string_view text, size_t limit) { return XlUtf8CutLength(text.data(), text.size(), limit); }

// ---- CRefCounted / CShared ------------------------------------------------------------------------

void CRefCounted::Release() {
    if (m_refs == 0) return;  // not held: releasing it again must not delete it twice
    if (--m_refs == 0 && !IsStatic()) delete this;
}

namespace {
std::unordered_set<CShared*>& Registry() {
    static auto* registry = new std::unordered_set<CShared*>;  // outlives static objects' destructors
    return *registry;
}
}  // namespace

CShared::CShared() { Registry().insert(this); }
CShared::CShared(const CShared& other) : CRefCounted(other) { Registry().insert(this); }
CShared::~CShared() { Registry().erase(this); }

bool CShared::IsEqual(const CShared&) const { return false; }

CShared* CShared::Intern(CShared* obj) {
    if (obj == nullptr) return nullptr;
    for (CShared* other : Registry()) {
        if (other == obj || typeid(*other) != typeid(*obj)) continue;
        if (!other->IsEqual(*obj)) continue;
        if (obj->RefCount() == 0 && !obj->IsStatic()) delete obj;
        return other;
    }
    return obj;
}

size_t CShared::RegisteredCount() { return Registry().size(); }

// ---- CSharedString -------------------------------------------------------------------------------

struct CSharedString::Block {
    uint16_t refs;
    uint16_t length;
    char text[1];

    static Block* Make(std::string_view s) {
        void* mem = std::malloc(offsetof(Block, text) + s.size() + 1);
        if (!mem) throw std::bad_alloc();
        Block* b = static_cast<Block*>(mem);
        b->refs = 1;
        b->length = static_cast<uint16_t>(s.size());
        std::memcpy(b->text, s.data(), s.size());
        b->text[s.size()] = 0;
        return b;
    }
};

CSharedString::CSharedString(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); }
CSharedString::CSharedString(std::string_view text) { Assign(text); }

CSharedString::CSharedString(const CSharedString& other) {
    if (!other.m_block) return;
    if (other.m_block->refs == UINT16_MAX) {
        // The 16-bit count is full: this copy gets its own block instead of wrapping the count.
        m_block = Block::Make(other.view());
    } else {
        m_block = other.m_block;
        ++m_block->refs;
    }
}

CSharedString::~CSharedString() { clear(); }

CSharedString& CSharedString::operator=(const CSharedString& other) {
    if (this != &other) {
        CSharedString copy(other);
        std::swap(m_block, copy.m_block);
    }
    return *this;
}

CSharedString& CSharedString::operator=(CSharedString&& other) noexcept {
    if (this != &other) {
        clear();
        m_block = std::exchange(other.m_block, nullptr);
    }
    return *this;
}

void CSharedString::clear() {
    if (m_block && --m_block->refs == 0) std::free(m_block);
    m_block = nullptr;
}

void CSharedString::Assign(std::string_view text) {
    clear();
    text = text.substr(0, Utf8Cut(text, kMaxLength));
    if (!text.empty()) m_block = Block::Make(text);
}

const char* CSharedString::c_str() const { return m_block ? m_block->text : ""; }
size_t CSharedString::length() const { return m_block ? m_block->length : 0; }
unsigned CSharedString::ShareCount() const { return m_block ? m_block->refs : 0; }

void CSharedString::MakePrivate() {
    if (m_block && m_block->refs > 1) {
        Block* own = Block::Make(view());
        --m_block->refs;
        m_block = own;
    }
}

char& CSharedString::at(size_t i) {
    MakePrivate();
    if (!m_block || i >= m_block->length) throw std::out_of_range("CSharedString::at");
    return m_block->text[i];
}

CSharedString& CSharedString::operator+=(std::string_view more) {
    if (more.empty()) return *this;
    std::string joined(view());
    joined.append(more);
    Assign(joined);
    return *this;
}

}  // namespace qs
