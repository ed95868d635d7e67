// Entity collections written as text, for tables of cases.
// Input: leaf paths separated by "|", the nodes of a path by ">", a node as kind:id:mask
// (mask in C notation, e.g. 0x30 or -49): "1:-1:0 > 2:0:0x10 | 1:3:0x20".
// Output: the root's children in order, a node as kind:id:0xMASK, its children in parentheses:
// "1:-1:0x0(2:0:0x10) 1:3:0x20". A root-only collection gives "".
#pragma once

#include "sound/model/EntityCollection.h"

#include <cstdio>
#include <sstream>
#include <string>

namespace sltest {

inline SL::CEntityCollection Selection(const std::string& text) {
    SL::CEntityCollection collection;
    std::istringstream paths(text);
    std::string path;
    while (std::getline(paths, path, '|')) {
        collection.ResetCursor();
        std::istringstream nodes(path);
        std::string node;
        while (std::getline(nodes, node, '>')) {
            long kind = 0, id = 0, mask = 0;
            char rest[2];
            if (std::sscanf(node.c_str(), " %li:%li:%li %1s", &kind, &id, &mask, rest) != 3)
                throw std::invalid_argument("bad node: " + node);
            collection.Add(static_cast<std::int32_t>(kind), static_cast<std::int32_t>(id),
                           static_cast<std::int32_t>(mask));
        }
    }
    collection.ResetCursor();
    return collection;
}

inline void DumpNode(const SL::CEntityCollection::CTreeNode& node, std::string& out) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%d:%#x", node.value.kind, node.value.id,
                  static_cast<unsigned>(node.value.mask));
    out += text;
    if (node.value.mask == 0) out += "x0";  // %#x writes a bare 0
    if (node.children.empty()) return;
    out += '(';
    for (std::size_t i = 0; i < node.children.size(); ++i) {
        if (i) out += ' ';
        DumpNode(*node.children[i], out);
    }
    out += ')';
}

inline std::string Dump(const SL::CEntityCollection& collection) {
    std::string out;
    const auto& root = collection.GetRoot();
    for (std::size_t i = 0; i < root.children.size(); ++i) {
        if (i) out += ' ';
        DumpNode(*root.children[i], out);
    }
    return out;
}

}  // namespace sltest
