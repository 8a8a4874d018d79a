#include "core/kill_item.h"

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/delete_tree.h"
#include "core/directory_sizes.h"
#include "core/file_system.h"
#include "core/trash_info.h"

namespace varnelo {

namespace {

constexpr std::size_t kTrashInfoLimit = std::size_t{4} << 20;
constexpr std::size_t kDirectorySizesLimit = std::size_t{64} << 20;

struct StoreLocation {
    std::string trashDir;
    std::string name;  // the entry's name in files/
};

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// An absolute directory path without empty, "." or ".." components; trailing slashes
// are dropped ("/" becomes ""). Anything else cannot be matched safely.
std::optional<std::string_view> CleanDirectory(std::string_view dir) {
    if (dir.empty() || dir.front() != '/' || dir.find('\0') != std::string_view::npos)
        return std::nullopt;
    while (!dir.empty() && dir.back() == '/') dir.remove_suffix(1);
    std::size_t start = 1;
    while (start <= dir.size()) {
        std::size_t end = dir.find('/', start);
        if (end == std::string_view::npos) end = dir.size();
        if (!IsPlainName(dir.substr(start, end - start))) return std::nullopt;
        start = end + 1;
    }
    return dir;
}

// The path must be exactly <trashDir>/files/<name> for one of the trash directories: no
// other spelling is accepted, so that nothing beside or above files/ can be named.
std::optional<StoreLocation> Locate(const std::vector<std::string>& trashDirs,
                                    std::string_view storePath) {
    for (const std::string& candidate : trashDirs) {
        std::optional<std::string_view> dir = CleanDirectory(candidate);
        if (!dir) continue;
        std::string prefix(*dir);
        prefix += "/files/";
        if (!storePath.starts_with(prefix)) continue;
        std::string_view name = storePath.substr(prefix.size());
        if (!IsPlainName(name)) continue;
        return StoreLocation{.trashDir = candidate, .name = std::string(name)};
    }
    return std::nullopt;
}

// Drops the item's line from the folder-size cache. The cache is left as it is when it
// has no such line, is missing or cannot be read: it is only a cache.
void DropDirectorySize(FileSystem& fs, DirHandle trashDir, const std::string& name) {
    FsResult<std::string> content =
        fs.ReadSmallFile(trashDir, "directorysizes", kDirectorySizesLimit);
    if (!content.ok()) return;
    std::string rest = RemoveDirectorySizeEntry(content.value(), name);
    // Lines are only ever dropped, so the same length means nothing changed.
    if (rest.size() != content.value().size())
        (void)fs.ReplaceSmallFile(trashDir, "directorysizes", rest);
}

// Without a cutoff the deletion date is not asked for, nor a .trashinfo at all.
KillResult KillEntry(FileSystem& fs, const std::vector<std::string>& trashDirs,
                     const KillTarget& target, const std::optional<Moment>& cutoff) {
    std::optional<StoreLocation> where = Locate(trashDirs, target.storePath);
    if (!where) return KillResult::NotRemoved;
    const std::string& name = where->name;

    FsResult<DirHandle> trashOpened = fs.OpenDirectory(where->trashDir);
    if (!trashOpened.ok())
        return trashOpened.code() == FsCode::NotFound ? KillResult::AlreadyGone
                                                      : KillResult::NotRemoved;
    ScopedDir trashDir(fs, trashOpened.value());
    FsResult<DirHandle> filesOpened = fs.OpenChildDirectory(trashDir.get(), "files");
    if (!filesOpened.ok())
        return filesOpened.code() == FsCode::NotFound ? KillResult::AlreadyGone
                                                      : KillResult::NotRemoved;
    ScopedDir files(fs, filesOpened.value());

    FsResult<EntryStatus> entry = fs.StatEntry(files.get(), name);
    if (!entry.ok())
        return entry.code() == FsCode::NotFound ? KillResult::AlreadyGone : KillResult::NotRemoved;
    if (entry.value().id != target.listedId) return KillResult::NotRemoved;

    const std::string infoName = name + ".trashinfo";
    FsResult<DirHandle> infoOpened = fs.OpenChildDirectory(trashDir.get(), "info");
    std::optional<ScopedDir> info;
    if (infoOpened.ok())
        info.emplace(fs, infoOpened.value());
    else if (cutoff || infoOpened.code() != FsCode::NotFound)
        return KillResult::NotRemoved;  // an info/ that cannot be opened would keep a stale file
    if (cutoff) {
        // The date is read again: the item may have been restored and trashed anew since
        // the list was read.
        FsResult<std::string> infoText = fs.ReadSmallFile(info->get(), infoName, kTrashInfoLimit);
        if (!infoText.ok()) return KillResult::NotRemoved;
        const TrashInfo parsed = ParseTrashInfo(infoText.value());
        if (!parsed.deletedAt || !(*parsed.deletedAt < *cutoff)) return KillResult::NotRemoved;
    }

    if (entry.value().kind == EntryKind::Directory) {
        switch (DeleteTree(fs, files.get(), name, target.listedId)) {
            case TreeResult::Removed:
                break;
            case TreeResult::AlreadyGone:
                return KillResult::AlreadyGone;
            case TreeResult::Changed:
            case TreeResult::NotRemoved:
                return KillResult::NotRemoved;
        }
    } else {
        const bool unlinked = fs.RemoveFile(files.get(), name).ok();
        if (fs.StatEntry(files.get(), name).code() != FsCode::NotFound)
            return KillResult::NotRemoved;
        if (!unlinked) return KillResult::AlreadyGone;
    }

    // Only now that the entry is verifiably gone: a partly removed item keeps the
    // .trashinfo that lets the user restore what is left.
    if (info) (void)fs.RemoveFile(info->get(), infoName);
    DropDirectorySize(fs, trashDir.get(), name);
    return KillResult::Removed;
}

}  // namespace

KillResult KillItem(FileSystem& fs, const std::vector<std::string>& trashDirs,
                    const KillTarget& target, Moment cutoff) {
    return KillEntry(fs, trashDirs, target, cutoff);
}

KillResult KillPickedItem(FileSystem& fs, const std::vector<std::string>& trashDirs,
                          const KillTarget& target) {
    return KillEntry(fs, trashDirs, target, std::nullopt);
}

}  // namespace varnelo
