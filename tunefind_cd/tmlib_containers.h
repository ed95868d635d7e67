// What the containers share among themselves.
#pragma once

#include "tunefind_cd/tmlib.h"

bool tmlib_datatypes_started(void);

// Holds a container's own critical section (when it has one) for a scope.
class tmlib_section_guard {
public:
    explicit tmlib_section_guard(tmlib_critsec_t* section) : m_section(section) {
        if (m_section) tmlib_critsec_enter(m_section);
    }
    ~tmlib_section_guard() {
        if (m_section) tmlib_critsec_leave(m_section);
    }
    tmlib_section_guard(const tmlib_section_guard&) = delete;
    tmlib_section_guard& operator=(const tmlib_section_guard&) = delete;

private:
    tmlib_critsec_t* m_section;
};

// A zero-filled block of count * size bytes; null on overflow or no memory.
void* tmlib_alloc_array(uint32_t count, uint32_t size);
