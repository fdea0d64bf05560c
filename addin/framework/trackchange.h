// Change tracking: an object signals that it changed by setting bits in its pending set; whoever
// brings it up to date moves them to the seen set.
#pragma once

#include <cstdint>

namespace qs {

class CTrackChange {
public:
    virtual ~CTrackChange() = default;
    void Change(uint32_t bits) { m_pending |= bits; }
    bool Pending() const { return m_pending != 0; }
    uint32_t PendingBits() const { return m_pending; }
    uint32_t SeenBits() const { return m_seen; }
    // Pending bits become seen.
    void Seen() {
        m_seen |= m_pending;
        m_pending = 0;
    }

private:
    uint32_t m_pending = 0;
    uint32_t m_seen = 0;
};

}  // namespace qs
