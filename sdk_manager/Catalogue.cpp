// Reading disc records in the xmcd format, and matching a table of contents against them. A record is
// trusted for nothing: counts, numbers and lengths are bounded, and a record that breaks a rule is left out.
#include "sdk_manager/Catalogue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sdk_manager/Internal.h"

namespace tmsdk {

namespace {

constexpr size_t kMaxValueBytes = 64 * 1024;  // a title, artist, year or genre

bool StartsWithFolded(const std::string& text, size_t at, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i, ++at) {
        if (at >= text.size()) return false;
        char c = text[at];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        char p = prefix[i];
        if (p >= 'a' && p <= 'z') p = static_cast<char>(p - 32);
        if (c != p) return false;
    }
    return true;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsDigits(const std::string& text, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// Decimal digits into a number no larger than `limit`; false for anything else.
bool ReadNumber(const std::string& text, size_t from, size_t to, uint64_t limit, uint64_t& value) {
    if (!IsDigits(text, from, to)) return false;
    value = 0;
    for (size_t i = from; i < to; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > limit) return false;
    }
    return true;
}

// Strict UTF-8 (no over-long forms, no surrogates, nothing above U+10FFFF).
bool IsUtf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        size_t n;
        uint32_t min;
        if (c < 0x80) {
            ++p;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3, min = 0x10000;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) < n + 1) return false;
        uint32_t value = c & (0x3F >> n);
        for (size_t i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            value = (value << 6) | (p[i] & 0x3Fu);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        p += n + 1;
    }
    return true;
}

std::string Latin1ToUtf8(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// Appends a line's value to what the keyword collected so far (a long value spans several lines), within
// the bound and without cutting a character in two.
void Append(std::string& value, const std::string& line, size_t from) {
    if (value.size() >= kMaxValueBytes) return;
    size_t n = std::min(line.size() - from, kMaxValueBytes - value.size());
    if (n < line.size() - from)
        while (n > 0 && (static_cast<unsigned char>(line[from + n]) & 0xC0) == 0x80) --n;
    value.append(line, from, n);
}

// xmcd escapes; a line break or tab inside a title becomes a space.
std::string Unescape(const std::string& value) {
    std::string text;
    text.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const char next = value[++i];
        if (next == 'n' || next == 't')
            text += ' ';
        else
            text += next;  // "\\" and any other escaped character stand for themselves
    }
    return text;
}

bool IsHexId(const std::string& text) {
    if (text.size() != 8) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

bool EqualsFolded(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && StartsWithFolded(a, 0, b);
}

// "artist / title"; without the separator the text is both.
void SplitTitle(const std::string& text, std::string& artist, std::string& title) {
    const size_t at = text.find(" / ");
    if (at == std::string::npos) {
        artist = title = text;
    } else {
        artist = text.substr(0, at);
        title = text.substr(at + 3);
    }
}

struct RawRecord {
    std::vector<uint32_t> offsets;
    bool hasLength = false;
    uint64_t length = 0;
    std::string discId, dtitle, dyear, dgenre;
    std::vector<std::string> ttitles;
    bool tooManyOffsets = false, offsetOutOfRange = false, offsetNotANumber = false, lengthOutOfRange = false;
    bool HasContent() const { return !offsets.empty() || hasLength || !discId.empty() || !dtitle.empty(); }
};

void ParseLines(const std::string& text, RawRecord& r) {
    bool inOffsets = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        size_t last = end;
        if (last > start && text[last - 1] == '\r') --last;
        const std::string line = text.substr(start, last - start);
        start = end + 1;
        if (!line.empty() && line[0] == '#') {
            size_t body = 1;
            while (body < line.size() && (line[body] == ' ' || line[body] == '\t')) ++body;
            size_t bodyEnd = line.size();
            while (bodyEnd > body && (line[bodyEnd - 1] == ' ' || line[bodyEnd - 1] == '\t')) --bodyEnd;
            if (StartsWithFolded(line, body, "Track frame offsets:")) {
                inOffsets = true;
                continue;
            }
            if (inOffsets) {
                uint64_t offset = 0;
                if (IsDigits(line, body, bodyEnd)) {
                    if (!ReadNumber(line, body, bodyEnd, kMaxFrame, offset))
                        r.offsetOutOfRange = true;
                    else if (r.offsets.size() >= kMaxTracks)
                        r.tooManyOffsets = true;
                    else
                        r.offsets.push_back(static_cast<uint32_t>(offset));
                    continue;
                }
                // The list ends at an empty comment line or at words ("Disc length:"); anything else in it
                // ("-5000", "0x5000", "5000 frames") is an offset that cannot be read, not the list's end.
                if (body < bodyEnd && !IsLetter(line[body])) r.offsetNotANumber = true;
                inOffsets = false;
            }
            if (StartsWithFolded(line, body, "Disc length:")) {
                size_t from = body + std::strlen("Disc length:");
                while (from < bodyEnd && line[from] == ' ') ++from;
                size_t to = from;
                while (to < bodyEnd && line[to] >= '0' && line[to] <= '9') ++to;
                r.hasLength = true;
                if (!ReadNumber(line, from, to, kMaxSeconds, r.length)) r.lengthOutOfRange = true;
            }
            continue;
        }
        inOffsets = false;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;  // stray text: not part of any field
        const std::string key = line.substr(0, equals);
        const size_t value = equals + 1;
        if (key == "DISCID") {
            if (!r.discId.empty() && value < line.size()) r.discId += ',';
            Append(r.discId, line, value);
        } else if (key == "DTITLE") {
            Append(r.dtitle, line, value);
        } else if (key == "DYEAR") {
            Append(r.dyear, line, value);
        } else if (key == "DGENRE") {
            Append(r.dgenre, line, value);
        } else if (key.compare(0, 6, "TTITLE") == 0) {
            uint64_t index = 0;
            // A track number no disc has addresses nothing.
            if (!ReadNumber(key, 6, key.size(), kMaxTracks - 1, index)) continue;
            if (r.ttitles.size() <= index) r.ttitles.resize(index + 1);
            Append(r.ttitles[index], line, value);
        }
        // EXTD, EXTTn, PLAYORDER and unknown keywords carry nothing a lookup answers with.
    }
}

// A record's rules; the reason it breaks one, or null.
const char* Check(const RawRecord& r) {
    if (r.tooManyOffsets) return "more than 99 track offsets";
    if (r.offsetOutOfRange) return "a track offset out of range";
    if (r.offsetNotANumber) return "a track offset that is not a decimal number";
    if (r.offsets.empty()) return "no track frame offsets";
    for (size_t i = 1; i < r.offsets.size(); ++i)
        if (r.offsets[i] <= r.offsets[i - 1]) return "track offsets not increasing";
    if (!r.hasLength) return "no disc length";
    if (r.lengthOutOfRange) return "a disc length out of range";
    // The lead-out lies at or after the last track's start; the length counts it in whole seconds.
    if ((r.length + 1) * kFramesPerSecond <= r.offsets.back()) return "a disc length before the last track";
    return nullptr;
}

Disc MakeDisc(const RawRecord& r, const std::string& tag, uint32_t position) {
    Disc d;
    d.position = position;
    d.offsets = r.offsets;
    d.lengthSeconds = static_cast<uint32_t>(r.length);
    const std::string first = Lower(r.discId.substr(0, r.discId.find(',')));
    d.id = IsHexId(first) ? first : DiscIdOf(d.offsets, d.lengthSeconds);
    d.tag = tag;
    SplitTitle(Unescape(r.dtitle), d.artist, d.title);
    d.year = Unescape(r.dyear);
    d.genre = Unescape(r.dgenre);
    const bool compilation = EqualsFolded(d.artist, "Various") || EqualsFolded(d.artist, "Various Artists");
    d.trackTitles.resize(d.offsets.size());
    d.trackArtists.resize(d.offsets.size());
    for (size_t i = 0; i < d.offsets.size() && i < r.ttitles.size(); ++i) {
        const std::string title = Unescape(r.ttitles[i]);
        if (compilation && title.find(" / ") != std::string::npos)
            SplitTitle(title, d.trackArtists[i], d.trackTitles[i]);
        else
            d.trackTitles[i] = title;
    }
    return d;
}

struct RecordSpan {
    size_t start, size;
};

// Where the records of a file stand: each "# xmcd" line starts one.
std::vector<RecordSpan> SplitRecords(const std::string& bytes, const std::function<void()>& pulse) {
    std::vector<RecordSpan> records;
    size_t recordStart = 0, lineStart = 0;
    while (lineStart < bytes.size()) {
        if (lineStart > recordStart && StartsWithFolded(bytes, lineStart, "# xmcd")) {
            records.push_back({recordStart, lineStart - recordStart});
            recordStart = lineStart;
            if (pulse) pulse();
        }
        const size_t end = bytes.find('\n', lineStart);
        lineStart = end == std::string::npos ? bytes.size() : end + 1;
    }
    records.push_back({recordStart, bytes.size() - recordStart});
    return records;
}

// The records of a file that hold anything, each with where it starts; text before the first record that
// holds nothing is no record.
struct ParsedRecord {
    size_t start;
    RawRecord raw;
};

std::vector<ParsedRecord> ParseRecords(const std::string& bytes, const std::function<void()>& pulse = nullptr) {
    std::vector<ParsedRecord> records;
    for (const RecordSpan& span : SplitRecords(bytes, pulse)) {
        if (pulse) pulse();
        const std::string chunk = bytes.substr(span.start, span.size);
        ParsedRecord r{span.start, {}};
        ParseLines(IsUtf8(chunk) ? chunk : Latin1ToUtf8(chunk), r.raw);
        if (r.raw.HasContent()) records.push_back(std::move(r));
    }
    return records;
}

}  // namespace

std::string DiscIdOf(const std::vector<uint32_t>& offsets, uint32_t lengthSeconds) {
    uint32_t digitSum = 0;
    for (uint32_t offset : offsets)
        for (uint32_t seconds = offset / kFramesPerSecond; seconds > 0; seconds /= 10) digitSum += seconds % 10;
    const uint32_t first = offsets.empty() ? 0 : offsets[0] / kFramesPerSecond;
    const uint32_t seconds = lengthSeconds > first ? lengthSeconds - first : 0;
    const uint32_t id = ((digitSum % 0xFF) << 24) | ((seconds & 0xFFFF) << 8) | (offsets.size() & 0xFF);
    char text[9];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

std::string RecordTag(const std::string& name, uint32_t position, uint32_t count) {
    return count == 1 ? name : name + "#" + std::to_string(position);
}

void ReadXmcd(const std::string& bytes, const std::string& name, std::vector<Disc>& discs, ReadReport& report) {
    const std::vector<ParsedRecord> records = ParseRecords(bytes);
    if (records.empty()) {
        // Not a disc record at all (an empty, binary or foreign file): left out like a damaged one.
        ++report.skipped;
        report.reasons.push_back(name + ": no disc record");
        return;
    }
    const uint32_t count = static_cast<uint32_t>(records.size());
    for (uint32_t i = 0; i < count; ++i) {
        const std::string tag = RecordTag(name, i + 1, count);
        if (const char* reason = Check(records[i].raw)) {
            ++report.skipped;
            report.reasons.push_back(tag + ": " + reason);
            continue;
        }
        discs.push_back(MakeDisc(records[i].raw, tag, i + 1));
    }
}

void SummariseXmcd(const std::string& bytes, const std::string& name, std::vector<RecordSummary>& summaries,
                   uint32_t& count, ReadReport& report, const std::function<void()>& pulse) {
    const std::vector<ParsedRecord> records = ParseRecords(bytes, pulse);
    count = static_cast<uint32_t>(records.size());
    if (records.empty()) {
        ++report.skipped;
        report.reasons.push_back(name + ": no disc record");
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const RawRecord& r = records[i].raw;
        if (const char* reason = Check(r)) {
            ++report.skipped;
            report.reasons.push_back(RecordTag(name, i + 1, count) + ": " + reason);
            continue;
        }
        summaries.push_back({i + 1, static_cast<uint32_t>(records[i].start), static_cast<uint32_t>(r.offsets.size()),
                             static_cast<uint32_t>(r.length)});
    }
}

bool ReadXmcdRecord(const std::string& bytes, const std::string& name, uint32_t position, uint32_t start, Disc& disc) {
    std::vector<Disc> discs;
    if (!ReadXmcdRecords(bytes, name, {{position, start}}, discs)) return false;
    disc = std::move(discs.front());
    return true;
}

bool ReadXmcdRecords(const std::string& bytes, const std::string& name,
                     const std::vector<std::pair<uint32_t, uint32_t>>& wanted, std::vector<Disc>& discs) {
    const std::vector<ParsedRecord> records = ParseRecords(bytes);
    bool all = true;
    for (const auto& [position, start] : wanted) {
        const ParsedRecord* r = position == 0 || position > records.size() ? nullptr : &records[position - 1];
        if (!r || (start != kAnyStart && r->start != start) || Check(r->raw)) {
            all = false;
            continue;
        }
        discs.push_back(MakeDisc(r->raw, RecordTag(name, position, static_cast<uint32_t>(records.size())), position));
    }
    return all;
}

void Catalogue::Index() {
    byTrackCount.clear();
    byId.clear();
    for (uint32_t i = 0; i < discs.size(); ++i) {
        byTrackCount[discs[i].offsets.size()].push_back(i);
        byId[discs[i].id].push_back(i);
    }
}

bool ParseToc(const char* text, std::vector<uint32_t>& trackOffsets, uint32_t& leadOut) {
    if (!text) return false;
    std::vector<uint32_t> numbers;
    const std::string toc = text;
    size_t at = 0;
    while (at < toc.size()) {
        while (at < toc.size() && toc[at] == ' ') ++at;
        size_t end = at;
        while (end < toc.size() && toc[end] != ' ') ++end;
        if (end == at) break;
        uint64_t value = 0;
        if (!ReadNumber(toc, at, end, 0xFFFFFFFFu, value) || numbers.size() >= kMaxTracks + 1) return false;
        if (!numbers.empty() && value <= numbers.back()) return false;
        numbers.push_back(static_cast<uint32_t>(value));
        at = end;
    }
    if (numbers.size() < 2) return false;
    leadOut = numbers.back();
    numbers.pop_back();
    trackOffsets = std::move(numbers);
    return true;
}

Matches MatchToc(const Catalogue& catalogue, const std::vector<uint32_t>& trackOffsets, uint32_t leadOut) {
    Matches result;
    auto candidates = catalogue.byTrackCount.find(trackOffsets.size());
    if (candidates == catalogue.byTrackCount.end()) return result;
    std::vector<std::pair<uint64_t, uint32_t>> fuzzy;  // (distance, disc)
    std::vector<uint32_t> exact;
    for (uint32_t index : candidates->second) {
        ++result.compared;
        const Disc& d = catalogue.discs[index];
        uint64_t distance = 0;
        bool equal = true, near = true;
        for (size_t i = 0; i < trackOffsets.size() && near; ++i) {
            const uint32_t a = trackOffsets[i], b = d.offsets[i];
            const uint32_t gap = a > b ? a - b : b - a;
            equal = equal && gap == 0;
            near = gap <= kFramesPerSecond;
            distance += gap;
        }
        if (!near) continue;
        const uint64_t recorded = uint64_t{d.lengthSeconds} * kFramesPerSecond;
        const uint64_t leadGap = leadOut > recorded ? leadOut - recorded : recorded - leadOut;
        if (equal && leadGap < kFramesPerSecond)
            exact.push_back(index);
        else if (leadGap < 2 * kFramesPerSecond)
            fuzzy.emplace_back(distance + leadGap, index);
    }
    if (exact.size() == 1) {
        result.kind = MatchKind::kSingle;
        result.discs = exact;
    } else if (exact.size() > 1) {
        result.kind = MatchKind::kMultipleExact;
        result.discs = exact;
    } else if (!fuzzy.empty()) {
        // Nearest first; discs as near as each other keep the catalogue's order.
        std::stable_sort(fuzzy.begin(), fuzzy.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        result.kind = MatchKind::kFuzzy;
        for (const auto& f : fuzzy) result.discs.push_back(f.second);
    }
    return result;
}

const Disc* FindAlbum(const Catalogue& catalogue, const std::string& id, const std::string& tag) {
    auto found = catalogue.byId.find(Lower(id));
    if (found == catalogue.byId.end()) return nullptr;
    for (uint32_t index : found->second)
        if (catalogue.discs[index].tag == tag) return &catalogue.discs[index];
    return nullptr;
}

}  // namespace tmsdk
