// tmsdk_catalogue_index: builds or brings up to date the index of the disc catalogue (TMSDK_CATALOGUE, else the
// stand-in's folder in the per-user data folder) ahead of the first lookup, comparing every file, not only
// the folders. Prints its progress and what it passed over; exits 0 when the catalogue could be read.
#include <unistd.h>

#include <cstdio>

#include "sdk_manager/Index.h"

namespace {

void PrintLog(uint32_t, const char*, uint32_t, uint32_t, const char* text) { std::fprintf(stderr, "%s\n", text); }

}  // namespace

int main() {
    using namespace tmsdk;
    tmsdk_sdkmanager_log_callback = PrintLog;
    tmsdk_sdkmanager_package_flags[TMSDK_SDKMANAGER_PACKAGE] |= TMSDK_PACKAGE_FLAG_LOG;
    Place place;
    uint32_t detail = 0;
    if (OpenPlace(place, detail) != 0) {
        std::fprintf(stderr, "no disc catalogue at \"%s\"\n", place.path.c_str());
        return 1;
    }
    IndexRequest request;
    request.use = IndexRequest::Use::kCheckEveryFile;
    if (isatty(STDERR_FILENO))
        request.progress = [](uint32_t read, uint32_t found) {
            std::fprintf(stderr, "\r%u files read of %u found", read, found);
            return false;
        };
    std::vector<IndexedRecord> none;
    IndexReport report;
    const tmsdk_status_t status = ReadIndex(place, request, none, report);
    if (isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
    if (status != 0) return 1;
    std::printf("%s: %u records, %u left out; ", place.path.c_str(), report.records, report.skipped);
    if (report.written)
        std::printf("index %s\n", IndexPath(place).c_str());
    else
        std::printf("the index could not be written (is the cache folder writable?)\n");
    return report.written ? 0 : 2;
}
