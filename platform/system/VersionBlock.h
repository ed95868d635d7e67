// The program's version block: named texts such as "FileVersion", generated
// by the build from the project's version.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

class CVersionBlock {
public:
    struct Item {
        const char* name;
        const char* value;
    };
    CVersionBlock(const Item* items, size_t count) : m_items(items), m_count(count) {}

    // The text stored under the name (exact spelling), "" when there is none.
    std::string Find(const std::string& name) const;

private:
    const Item* m_items;
    size_t m_count;
};

// The block of the running program (and of every library linked into it).
const CVersionBlock& ProgramVersionBlock();

}  // namespace platform
