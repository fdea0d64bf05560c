// Resources embedded in a program: typed, named byte blocks. The build links a table of them
// into the program (see embed_resources.cmake); tests may add their own at run time.
#pragma once

#include <cstddef>
#include <string>

namespace quelstat {

struct ResourceBytes {
    const void* data = nullptr;
    std::size_t size = 0;
};

// Finds a resource by type and name, both compared without regard to case. Returns false
// when the program holds none.
bool findResource(const std::string& type, const std::string& name, ResourceBytes& out);

// Adds a resource; the bytes must outlive every lookup. A later entry with the same type and
// name hides an earlier one.
void addResource(const std::string& type, const std::string& name, const void* data, std::size_t size);

// Filled in by the generated table of a program that embeds resources.
struct EmbeddedResource {
    const char* type;
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};
void registerEmbeddedResources(const EmbeddedResource* table, std::size_t count);

}  // namespace quelstat
