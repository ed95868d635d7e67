// Watches the editor's calls into the two shared libraries: the test program defines the functions below
// under their exported names, so the editor's calls reach these first; each records its call and passes it
// on to the library's own function, or answers a failure the test asked for without calling it.
#pragma once

#include "tunefind_cd/tmsdk_tunefind_cd.h"

#include <map>
#include <string>
#include <vector>

namespace shelltest {

class SdkSpy {
public:
    static SdkSpy& Get();

    // Forgets every call and failure.
    void Reset();
    // The n-th call (from 1) of the named function from now answers code without reaching the library.
    void Fail(const std::string& function, int n, tmsdk_status_t code);
    int Count(const std::string& function) const;

    // Whether the call goes on to the library; records it either way.
    bool Enter(const std::string& function, tmsdk_status_t& failure);

    std::vector<std::string> calls;         // names without the libraries' prefixes, in order
    std::vector<std::string> proxies;       // values given for "tmsdk_proxy_host"
    std::vector<std::string> deserialized;  // user texts given to be rebuilt

private:
    struct Planned {
        int n;
        tmsdk_status_t code;
    };
    std::map<std::string, int> m_counts;
    std::map<std::string, Planned> m_failures;
};

}  // namespace shelltest
