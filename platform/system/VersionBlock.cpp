#include "platform/system/VersionBlock.h"

namespace platform {
namespace {

const CVersionBlock::Item kProgramItems[] = {
#include "VersionBlockItems.inc"
};

}  // namespace

std::string CVersionBlock::Find(const std::string& name) const {
    for (size_t i = 0; i < m_count; ++i)
        if (name == m_items[i].name) return m_items[i].value;
    return std::string();
}

const CVersionBlock& ProgramVersionBlock() {
    static const CVersionBlock block(kProgramItems, sizeof kProgramItems / sizeof kProgramItems[0]);
    return block;
}

}  // namespace platform
