#pragma once

// Objects that can stand in for "nothing" (a channel without samples) say so here.

namespace GT {

class INullable {
public:
    virtual ~INullable() = default;
    virtual bool IsNull() const = 0;

protected:
    INullable() = default;
    INullable(const INullable&) = default;
    INullable& operator=(const INullable&) = default;
};

}  // namespace GT
