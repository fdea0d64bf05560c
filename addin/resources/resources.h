// The add-in's compiled resources: the string table and the menu resources, generated at build time
// from strings.txt and menus/*.menu.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qs::res {

struct StringResource {
    uint32_t id;
    const char* text;  // UTF-8
};

// One node of a menu resource, stored in pre-order: a node is followed by its whole subtree, and
// `size` counts the node and that subtree (1 for a command or separator).
struct MenuNode {
    const char* text;
    uint32_t id;  // command id (commands only)
    int kind;     // 0 command, 1 popup, 2 separator
    bool grayed;  // a grayed command is a dynamic item
    uint32_t size;
};

struct MenuResource {
    uint32_t id;
    const MenuNode* nodes;
    size_t count;  // number of nodes
};

// Generated tables (strings sorted by id).
const StringResource* StringTable(size_t* count);
const MenuResource* MenuTable(size_t* count);

// The string with this id, or null when the table has none.
const char* FindString(uint32_t id);
// The menu resource with this id, or null.
const MenuResource* FindMenu(uint32_t id);

}  // namespace qs::res
