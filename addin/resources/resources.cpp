#include "addin/resources/resources.h"

#include <algorithm>

namespace qs::res {

const char* FindString(uint32_t id) {
    size_t n = 0;
    const StringResource* t = StringTable(&n);
    const StringResource* end = t + n;
    const StringResource* it =
        std::lower_bound(t, end, id, [](const StringResource& r, uint32_t v) { return r.id < v; });
    return (it != end && it->id == id) ? it->text : nullptr;
}

const MenuResource* FindMenu(uint32_t id) {
    size_t n = 0;
    const MenuResource* t = MenuTable(&n);
    for (size_t i = 0; i < n; ++i)
        if (t[i].id == id) return &t[i];
    return nullptr;
}

}  // namespace qs::res
