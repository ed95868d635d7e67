// The manager's result objects and the interface tables that its sources define for one another.
#pragma once

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "sdk_manager/Internal.h"

namespace tmsdk {

enum InterfaceIndex { kErrorInfo, kHandles, kLookup, kGdo, kLists, kInterfaceCount };
// Entry 0 of each table: one release for every interface_get.
tmsdk_status_t ReleaseInterface(InterfaceIndex index);

const tmsdk_lookup_interface_t& LookupInterface();
const tmsdk_gdo_interface_t& GdoInterface();
const tmsdk_lists_interface_t& ListsInterface();

// A result object: the manager's own (context, values, children) or a module's (data over a provider).
// References are counted under the state's lock.
struct Gdo {
    uint32_t refs = 1;
    void* data = nullptr;
    const tmsdk_gdo_provider_t* provider = nullptr;
    std::string context;
    std::vector<std::pair<std::string, std::vector<std::string>>> values;
    std::vector<std::pair<std::string, std::vector<Gdo*>>> children;  // each child holds one reference
};

// A new object of the manager's own, registered, with one reference for the caller.
Gdo* NewGdo(const std::string& context);
void AddValue(Gdo* object, const std::string& key, const std::string& value);
// The parent takes over the child's reference; a null child only declares the key.
void AddChild(Gdo* parent, const std::string& key, Gdo* child);
void Unref(Gdo* object);
// Releases a reference on destruction.
struct GdoRef {
    Gdo* object = nullptr;
    GdoRef() = default;
    explicit GdoRef(Gdo* o) : object(o) {}
    GdoRef(const GdoRef&) = delete;
    GdoRef& operator=(const GdoRef&) = delete;
    ~GdoRef() {
        if (object) Unref(object);
    }
    Gdo* Release() { return std::exchange(object, nullptr); }
};

struct ListEntry {
    uint32_t level;  // 1 to 3; an entry belongs to the nearest entry above it of a lower level
    std::string name;
};

struct List {
    std::string type, language, region, descriptor;
    uint32_t revision = 0;
    std::vector<ListEntry> entries;
    std::unordered_set<std::string> unlisted;  // display strings of names the list does not hold
};

bool IsGdo(tmsdk_gdo_t object);
tmsdk_status_t GdoValueGet(tmsdk_gdo_t object, const char* key, uint32_t ordinal, const char** value);

inline tmsdk_gdo_t Handle(Gdo* object) { return reinterpret_cast<tmsdk_gdo_t>(object); }

}  // namespace tmsdk
