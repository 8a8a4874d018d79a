// Reads and edits a trash directory's size cache, which any program may have written.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/directory_sizes.h"
#include "fuzz/fuzz_check.h"

namespace varnelo {
namespace {

bool Same(const DirectorySizeEntry& a, const DirectorySizeEntry& b) {
    return a.sizeBytes == b.sizeBytes && a.mtime == b.mtime && a.name == b.name;
}

bool Same(const std::vector<DirectorySizeEntry>& a, const std::vector<DirectorySizeEntry>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!Same(a[i], b[i])) return false;
    }
    return true;
}

// Lines with their '\n', the last one possibly without.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

bool IsEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

void CheckRemove(std::string_view text, const std::vector<DirectorySizeEntry>& entries,
                 std::string_view name) {
    const std::string out = RemoveDirectorySizeEntry(text, name);
    VARNELO_FUZZ_CHECK(out.size() <= text.size());

    // What is kept is whole lines of the input, in their order.
    const std::vector<std::string_view> inLines = Lines(text);
    std::size_t next = 0;
    for (const std::string_view line : Lines(out)) {
        while (next < inLines.size() && inLines[next] != line) ++next;
        VARNELO_FUZZ_CHECK(next < inLines.size());
        ++next;
    }

    std::vector<DirectorySizeEntry> rest;
    for (const DirectorySizeEntry& e : entries) {
        if (e.name != name) rest.push_back(e);
    }
    VARNELO_FUZZ_CHECK(Same(ParseDirectorySizes(out), rest));
    if (rest.size() == entries.size()) VARNELO_FUZZ_CHECK(out == text);
    VARNELO_FUZZ_CHECK(RemoveDirectorySizeEntry(out, name) == out);
}

void CheckAnyCache(std::string_view text) {
    const std::vector<DirectorySizeEntry> entries = ParseDirectorySizes(text);
    for (const DirectorySizeEntry& e : entries) VARNELO_FUZZ_CHECK(IsEntryName(e.name));
    // The names an edit really meets, and one no line has.
    for (std::size_t i = 0; i < entries.size() && i < 3; ++i)
        CheckRemove(text, entries, entries[i].name);
    if (!entries.empty()) CheckRemove(text, entries, entries.back().name);
    CheckRemove(text, entries, "no such entry");
}

// A cache as a writer makes it, from values taken from the input.
void CheckWrittenCache(FuzzedDataProvider& in) {
    std::vector<DirectorySizeEntry> written;
    const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < count; ++i) {
        written.push_back({.sizeBytes = in.ConsumeIntegral<std::uint64_t>(),
                           .mtime = in.ConsumeIntegral<std::int64_t>(),
                           .name = in.ConsumeRandomLengthString(64)});
    }
    const bool crlf = in.ConsumeBool();
    const bool lowerHex = in.ConsumeBool();
    const bool finalNewline = in.ConsumeBool();

    std::string cache;
    std::vector<DirectorySizeEntry> expected;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const DirectorySizeEntry& e = written[i];
        cache += std::to_string(e.sizeBytes) + ' ' + std::to_string(e.mtime) + ' ' +
                 fuzz::PercentEncode(e.name, "", lowerHex);
        if (crlf) cache += '\r';
        if (finalNewline || i + 1 < written.size()) cache += '\n';
        if (IsEntryName(e.name)) expected.push_back(e);
    }
    const std::vector<DirectorySizeEntry> parsed = ParseDirectorySizes(cache);
    VARNELO_FUZZ_CHECK(Same(parsed, expected));
    if (!parsed.empty()) CheckRemove(cache, parsed, parsed.front().name);
}

void RunOne(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckAnyCache(text);
    FuzzedDataProvider in(data, size);
    CheckWrittenCache(in);
}

}  // namespace
}  // namespace varnelo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnelo::RunOne(data, size);
    return 0;
}
