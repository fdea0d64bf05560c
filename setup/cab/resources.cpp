#include "setup/cab/resources.h"

#include <mutex>
#include <strings.h>
#include <vector>

namespace quelstat {
namespace {

struct Entry {
    std::string type;
    std::string name;
    ResourceBytes bytes;
};

std::vector<Entry>& table() {
    static std::vector<Entry> entries;
    return entries;
}

std::mutex& tableLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

bool findResource(const std::string& type, const std::string& name, ResourceBytes& out) {
    std::lock_guard<std::mutex> hold(tableLock());
    const auto& entries = table();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (strcasecmp(it->type.c_str(), type.c_str()) == 0 && strcasecmp(it->name.c_str(), name.c_str()) == 0) {
            out = it->bytes;
            return true;
        }
    }
    return false;
}

void addResource(const std::string& type, const std::string& name, const void* data, std::size_t size) {
    std::lock_guard<std::mutex> hold(tableLock());
    table().push_back({type, name, {data, size}});
}

void registerEmbeddedResources(const EmbeddedResource* entries, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        addResource(entries[i].type, entries[i].name, entries[i].begin,
                    static_cast<std::size_t>(entries[i].end - entries[i].begin));
}

}  // namespace quelstat
