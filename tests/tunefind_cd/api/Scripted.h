// A scripted backend for the stand-in manager, and builders of the result objects it answers with.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TmsdkSession.h"

namespace gbxtest {

struct SeenRequest {
    std::string id, type, service;
    std::map<std::string, std::string> data;
};

// Installed for its lifetime: answers each request through `answer` and keeps what it was asked.
class Scripted {
public:
    using Answer = std::function<tmsdk_status_t(tmsdk_lookup_t, const SeenRequest&, tmsdk_gdo_t*)>;
    explicit Scripted(Answer answer) : m_answer(std::move(answer)) {
        tmsdk_sdkmanager_test_backend_set(&Scripted::Call, this);
    }
    ~Scripted() { tmsdk_sdkmanager_test_backend_set(nullptr, nullptr); }
    Scripted(const Scripted&) = delete;
    Scripted& operator=(const Scripted&) = delete;

    std::vector<SeenRequest> seen;

private:
    static tmsdk_status_t Call(void* context, tmsdk_lookup_t lookup, uint32_t, uint32_t,
                               const tmsdk_sdkmanager_test_request_t* request, tmsdk_gdo_t* response) {
        auto* self = static_cast<Scripted*>(context);
        SeenRequest r{request->id, request->type, request->service, {}};
        for (uint32_t i = 0; i < request->data_count; ++i) r.data[request->data_keys[i]] = request->data_values[i];
        self->seen.push_back(r);
        return self->m_answer(lookup, r, response);
    }
    Answer m_answer;
};

inline tmsdk_gdo_t Object(const char* context) {
    tmsdk_gdo_t object = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_test_gdo_create(context, &object), 0u);
    return object;
}

inline void Value(tmsdk_gdo_t object, const char* key, const std::string& value) {
    EXPECT_STATUS(tmsdk_sdkmanager_test_gdo_value_add(object, key, value.c_str()), 0u);
}

// The parent takes the child over: the caller's reference goes.
inline void Adopt(tmsdk_gdo_t parent, const char* key, tmsdk_gdo_t child) {
    EXPECT_STATUS(tmsdk_sdkmanager_test_gdo_child_add(parent, key, child), 0u);
    if (child) {
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(child), 0u);
    }
}

// Releases the caller's references.
inline void ReleaseAll(std::initializer_list<tmsdk_gdo_t> objects) {
    for (tmsdk_gdo_t object : objects) EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(object), 0u);
}

inline tmsdk_gdo_t Response(const char* code) {
    tmsdk_gdo_t response = Object(TMSDK_CTX_RESPONSE_ALBUM);
    Value(response, TMSDK_VAL_RESPONSE_CODE, code);
    Adopt(response, TMSDK_KEY_ALBUMS, nullptr);
    return response;
}

inline tmsdk_gdo_t Album(const std::string& id, const std::string& title) {
    tmsdk_gdo_t album = Object(TMSDK_CTX_ALBUM);
    Value(album, TMSDK_VAL_TUI_TYPE, TMSDK_TUI_TYPE_ALBUM);
    Value(album, TMSDK_VAL_TUI_ID, id);
    Value(album, TMSDK_VAL_TUI_TAG, "tag-" + id);
    Value(album, TMSDK_VAL_TITLE, title);
    return album;
}

inline tmsdk_gdo_t Track(uint32_t number, const std::string& title) {
    tmsdk_gdo_t track = Object(TMSDK_CTX_TRACK);
    Value(track, TMSDK_VAL_TRACKNUMBER, std::to_string(number));
    if (!title.empty()) Value(track, TMSDK_VAL_TITLE, title);
    return track;
}

inline tmsdk_gdo_t Credit(uint32_t id, const std::string& name) {
    tmsdk_gdo_t credit = Object(TMSDK_CTX_CREDIT);
    Value(credit, TMSDK_VAL_CREDIT_ID, std::to_string(id));
    Value(credit, "tmsdk_val_name", name);
    return credit;
}

// A value of an object through the editor's call; "" when it answers anything but 0.
inline std::string ValueOf(tmsdk_gdo_t object, const char* key, uint32_t ordinal = 1) {
    const char* text = nullptr;
    return tmsdk_sdkmanager_gdo_value_get(object, key, ordinal, &text) == 0 && text ? text : "";
}

inline tmsdk_gdo_t ChildOf(tmsdk_gdo_t object, const char* key, uint32_t ordinal) {
    tmsdk_gdo_t child = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(object, key, ordinal, &child), 0u) << key << " " << ordinal;
    return child;
}

}  // namespace gbxtest
