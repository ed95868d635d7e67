// Descriptor lists (genres, languages, origins, eras, artist types, roles): built in, up to three levels,
// serialised as text for a caller's cache and answered as display strings for a result object.
#include <cstring>
#include <sstream>

#include "sdk_manager/Interfaces.h"

namespace tmsdk {

namespace {

constexpr const char* kListMagic = "tmsdk_list";
constexpr const char* kListVersion = "1";
constexpr const char* kDefaultRegion = "list_region_global";
constexpr const char* kDefaultDescriptor = "list_desc_detailed";
constexpr uint32_t kMaxEntries = 100000;

struct BuiltIn {
    const char* type;
    const char* valueKey;  // the value of a result object that names an entry
    uint32_t revision;
    const char* entries;  // one entry a line: level digit, blank, name
};

const BuiltIn kBuiltIns[] = {
    {"list_type_languages", "tmsdk_val_language", 1,
     "1 English\n1 Japanese\n1 German\n1 French\n1 Spanish\n1 Italian\n1 Portuguese\n1 Chinese\n1 Korean\n"
     "1 Instrumental\n"},
    {"list_type_genres", TMSDK_VAL_GENRE, 1,
     "1 Rock\n2 Classic Rock & Roll\n3 Classic Rock\n3 Rock & Roll\n3 Rockabilly\n2 Hard Rock & Metal\n"
     "3 Hard Rock\n3 Heavy Metal\n3 Thrash Metal\n2 Alternative & Punk\n3 Alternative\n3 Punk\n3 Grunge\n"
     "3 Indie Rock\n2 Progressive & Art Rock\n3 Progressive Rock\n3 Psychedelic Rock\n"
     "1 Pop\n2 Mainstream Pop\n3 Dance Pop\n3 Pop Ballads\n2 Soft Pop\n3 Easy Listening\n3 Adult Contemporary\n"
     "1 Jazz\n2 Traditional Jazz\n3 Swing\n3 Big Band\n3 Dixieland\n2 Modern Jazz\n3 Bebop\n3 Fusion\n"
     "3 Acid Jazz\n"
     "1 Classical\n2 Orchestral\n3 Symphony\n3 Concerto\n2 Vocal Classical\n3 Opera\n3 Choral\n"
     "2 Chamber Music\n3 String Quartet\n"
     "1 Electronica\n2 Dance & House\n3 House\n3 Techno\n3 Trance\n2 Ambient & Downtempo\n3 Ambient\n"
     "3 Trip-Hop\n"
     "1 Hip-Hop & Rap\n2 Hip-Hop\n3 Old School Hip-Hop\n2 Rap\n3 Gangsta Rap\n"
     "1 R&B & Soul\n2 Soul\n3 Funk\n3 Motown\n2 Contemporary R&B\n"
     "1 Country\n2 Traditional Country\n3 Bluegrass\n3 Honky Tonk\n2 Contemporary Country\n"
     "1 Folk\n2 Traditional Folk\n3 Celtic\n2 Contemporary Folk\n3 Singer-Songwriter\n"
     "1 Blues\n2 Traditional Blues\n3 Delta Blues\n2 Electric Blues\n3 Chicago Blues\n"
     "1 Reggae\n2 Roots Reggae\n2 Ska\n"
     "1 Soundtrack\n2 Film Scores\n2 Musicals\n"
     "1 World\n2 Latin\n3 Salsa\n3 Bossa Nova\n2 African\n2 Asian\n3 J-Pop\n"
     "1 New Age\n2 Meditation\n"
     "1 Other\n2 Spoken Word\n2 Comedy\n2 Children's\n"},
    {"list_type_origins", "tmsdk_val_origin", 1,
     "1 North America\n2 United States\n2 Canada\n1 Europe\n2 United Kingdom\n2 Germany\n2 France\n1 Asia\n"
     "2 Japan\n2 Korea\n1 Latin America\n2 Brazil\n2 Mexico\n1 Oceania\n2 Australia\n1 Africa\n"},
    {"list_type_eras", "tmsdk_val_era", 1, "1 Before 1950\n1 1950s\n1 1960s\n1 1970s\n1 1980s\n1 1990s\n1 2000s\n"},
    {"list_type_artist_types", "tmsdk_val_artist_type", 1,
     "1 Male\n2 Male Solo\n2 Male Duo\n2 Male Group\n1 Female\n2 Female Solo\n2 Female Duo\n2 Female Group\n"
     "1 Mixed\n2 Mixed Duo\n2 Mixed Group\n"},
    {"list_type_roles", "tmsdk_val_role", 1,
     "1 Performer\n2 Vocals\n2 Guitar\n2 Bass\n2 Drums\n2 Keyboards\n1 Composition\n2 Composer\n2 Lyricist\n"
     "2 Arranger\n1 Production\n2 Producer\n2 Engineer\n2 Mixing\n"},
};

const BuiltIn* FindBuiltIn(const std::string& type) {
    for (const BuiltIn& b : kBuiltIns)
        if (type == b.type) return &b;
    return nullptr;
}

// Entries from lines "<level> <name>"; false on anything else, on a level that jumps down more than one,
// or on a first entry that is not of level 1.
bool ParseEntries(std::istream& in, uint32_t count, std::vector<ListEntry>& entries) {
    std::string line;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (!std::getline(in, line) || line.size() < 3 || line[1] != ' ') return false;
        const uint32_t level = static_cast<uint32_t>(line[0] - '0');
        if (level < 1 || level > 3 || level > previous + 1) return false;
        for (char c : line)
            if (static_cast<unsigned char>(c) < 0x20) return false;
        entries.push_back({level, line.substr(2)});
        previous = level;
    }
    return true;
}

std::vector<ListEntry> BuiltInEntries(const BuiltIn& b) {
    std::vector<ListEntry> entries;
    std::istringstream in(b.entries);
    uint32_t count = 0;
    for (const char* p = b.entries; *p; ++p) count += *p == '\n';
    ParseEntries(in, count, entries);
    return entries;
}

bool EqualFolded(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

List* AsList(tmsdk_list_t list) { return reinterpret_cast<List*>(list); }

bool IsList(tmsdk_list_t list) {
    Lock lock(GetState().lock);
    return GetState().lists.count(AsList(list)) != 0;
}

tmsdk_list_t Keep(std::unique_ptr<List> list) {
    List* raw = list.get();
    GetState().lists.emplace(raw, std::move(list));
    return reinterpret_cast<tmsdk_list_t>(raw);
}

tmsdk_status_t CheckClientAndUser(tmsdk_client_t client, tmsdk_user_t user) {
    if (!client || !user) return TMSDK_STATUS_INVALID_ARGUMENT;
    if (!IsClient(client) || !IsUser(user)) return TMSDK_STATUS_UNKNOWN_HANDLE;
    return 0;
}

// A list call's statuses: started before, finished after; true when the caller asked to abort.
bool Status(tmsdk_list_status_fn status, void* data, uint32_t id) {
    if (!status) return false;
    uint8_t abort = 0;
    status(data, id, 0, 0, &abort);
    return abort != 0;
}

tmsdk_status_t Retrieve(const char* type, const char* language, const char* region, const char* descriptor,
                        tmsdk_client_t client, tmsdk_user_t user, tmsdk_list_status_fn status, void* data,
                        tmsdk_list_t* list) {
    if (IsEmpty(type) || IsEmpty(language) || (region && !*region) || (descriptor && !*descriptor))
        return TMSDK_STATUS_INVALID_ARGUMENT;
    const BuiltIn* builtIn = FindBuiltIn(type);
    if (!builtIn) return TMSDK_STATUS_INVALID_ARGUMENT;
    {
        Lock lock(GetState().lock);
        if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        if (tmsdk_status_t bad = CheckClientAndUser(client, user)) return bad;
    }
    if (Status(status, data, TMSDK_LOOKUP_STATUS_STARTED)) return TMSDK_STATUS_ABORTED;
    return Guarded([&] {
        auto made = std::make_unique<List>();
        made->type = type;
        made->language = language;
        made->region = region ? region : kDefaultRegion;
        made->descriptor = descriptor ? descriptor : kDefaultDescriptor;
        made->revision = builtIn->revision;
        made->entries = BuiltInEntries(*builtIn);
        if (Status(status, data, TMSDK_LOOKUP_STATUS_FINISHED)) return TMSDK_STATUS_ABORTED;
        if (list) {
            Lock lock(GetState().lock);
            *list = Keep(std::move(made));
        }
        return tmsdk_status_t{0};
    });
}

}  // namespace

void ForgetLists() { GetState().lists.clear(); }

const tmsdk_lists_interface_t& ListsInterface() {
    static const tmsdk_lists_interface_t table = {[] { return ReleaseInterface(kLists); }, Retrieve};
    return table;
}

}  // namespace tmsdk

using namespace tmsdk;

extern "C" {

tmsdk_status_t tmsdk_sdkmanager_list_retrieve(const char* type, const char* language, const char* region,
                                              const char* descriptor, tmsdk_client_t client, tmsdk_user_t user,
                                              tmsdk_list_status_fn status, void* data, tmsdk_list_t* list) {
    if (!list) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Retrieve(type, language, region, descriptor, client, user, status, data, list);
}

// "tmsdk_list 1", then type=, language=, region=, descriptor=, revision=, entries= lines, then the entries.
tmsdk_status_t tmsdk_sdkmanager_list_serialize(tmsdk_list_t list, char** text) {
    if (!list || !text) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!IsList(list)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        const List& l = *AsList(list);
        std::ostringstream out;
        out << kListMagic << ' ' << kListVersion << "\ntype=" << l.type << "\nlanguage=" << l.language
            << "\nregion=" << l.region << "\ndescriptor=" << l.descriptor << "\nrevision=" << l.revision
            << "\nentries=" << l.entries.size() << '\n';
        for (const ListEntry& e : l.entries) out << e.level << ' ' << e.name << '\n';
        *text = HandOutText(out.str());
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_list_deserialize(const char* text, tmsdk_list_t* list) {
    if (IsEmpty(text) || !list) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        {
            Lock lock(GetState().lock);
            if (!Started()) return TMSDK_STATUS_NOT_STARTED;
        }
        std::istringstream in(text);
        std::string line;
        auto field = [&](const char* name, std::string& value) {
            const std::string prefix = std::string(name) + "=";
            if (!std::getline(in, line) || line.compare(0, prefix.size(), prefix) != 0) return false;
            value = line.substr(prefix.size());
            return !value.empty();
        };
        auto made = std::make_unique<List>();
        std::string revision, count;
        if (!std::getline(in, line) || line != std::string(kListMagic) + " " + kListVersion
            || !field("type", made->type) || !FindBuiltIn(made->type) || !field("language", made->language)
            || !field("region", made->region) || !field("descriptor", made->descriptor) || !field("revision", revision)
            || !field("entries", count))
            return TMSDK_STATUS_NOT_UNDERSTOOD;
        char* end = nullptr;
        const unsigned long revisionNumber = std::strtoul(revision.c_str(), &end, 10);
        if (*end || revision[0] < '0' || revision[0] > '9' || revisionNumber > 0xFFFFFFFFul)
            return TMSDK_STATUS_NOT_UNDERSTOOD;
        const unsigned long entryCount = std::strtoul(count.c_str(), &end, 10);
        if (*end || count[0] < '0' || count[0] > '9' || entryCount > kMaxEntries) return TMSDK_STATUS_NOT_UNDERSTOOD;
        made->revision = static_cast<uint32_t>(revisionNumber);
        if (!ParseEntries(in, static_cast<uint32_t>(entryCount), made->entries) || std::getline(in, line))
            return TMSDK_STATUS_NOT_UNDERSTOOD;
        Lock lock(GetState().lock);
        *list = Keep(std::move(made));
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_list_update(tmsdk_list_t list, tmsdk_client_t client, tmsdk_user_t user,
                                            tmsdk_list_status_fn status, void* data, uint8_t* updated) {
    if (!list || !updated) return TMSDK_STATUS_INVALID_ARGUMENT;
    {
        Lock lock(GetState().lock);
        if (!IsList(list)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        if (tmsdk_status_t bad = CheckClientAndUser(client, user)) return bad;
    }
    if (Status(status, data, TMSDK_LOOKUP_STATUS_STARTED)) return TMSDK_STATUS_ABORTED;
    return Guarded([&] {
        Lock lock(GetState().lock);
        if (!IsList(list)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        List& l = *AsList(list);
        const BuiltIn& current = *FindBuiltIn(l.type);
        const bool older = l.revision < current.revision;
        if (older) {
            l.entries = BuiltInEntries(current);
            l.revision = current.revision;
        }
        if (Status(status, data, TMSDK_LOOKUP_STATUS_FINISHED)) return TMSDK_STATUS_ABORTED;
        *updated = older ? 1 : 0;
        return tmsdk_status_t{0};
    });
}

tmsdk_status_t tmsdk_sdkmanager_list_release(tmsdk_list_t list) {
    if (!list) return TMSDK_STATUS_INVALID_ARGUMENT;
    Lock lock(GetState().lock);
    return GetState().lists.erase(AsList(list)) ? 0 : TMSDK_STATUS_UNKNOWN_HANDLE;
}

// The entry the object names (its genre, era, ...) and, above it, the entry of the level asked for. A name
// the list does not hold answers itself at level 1, so that no text of the catalogue is lost.
tmsdk_status_t tmsdk_sdkmanager_list_get_display_string_by_gdo(tmsdk_list_t list, tmsdk_gdo_t object, uint32_t level,
                                                               uint32_t flag, const char** text) {
    if (!list || level < 1 || level > 3 || (flag != 1 && flag != 2) || !text) return TMSDK_STATUS_INVALID_ARGUMENT;
    return Guarded([&] {
        std::string valueKey;
        {
            Lock lock(GetState().lock);
            if (!IsList(list)) return TMSDK_STATUS_UNKNOWN_HANDLE;
            valueKey = FindBuiltIn(AsList(list)->type)->valueKey;
        }
        const char* name = nullptr;
        if (tmsdk_status_t status = GdoValueGet(object, valueKey.c_str(), 1, &name)) return status;
        Lock lock(GetState().lock);
        if (!IsList(list)) return TMSDK_STATUS_UNKNOWN_HANDLE;
        List& l = *AsList(list);
        for (size_t i = 0; i < l.entries.size(); ++i) {
            if (!EqualFolded(l.entries[i].name, name)) continue;
            if (l.entries[i].level < level) return TMSDK_STATUS_NOT_FOUND;
            size_t at = i;
            while (l.entries[at].level > level) --at;
            *text = l.entries[at].name.c_str();
            return tmsdk_status_t{0};
        }
        if (level != 1 || !*name) return TMSDK_STATUS_NOT_FOUND;
        *text = l.unlisted.insert(name).first->c_str();
        return tmsdk_status_t{0};
    });
}

}  // extern "C"
