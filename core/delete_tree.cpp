#include "core/delete_tree.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace varnelo {

namespace {

constexpr std::uint32_t kOwnerAll = 0700;

// One directory on the way down from the item to where the walk stands.
struct Level {
    FileId id;
    std::string name;  // its name in the level above
    std::vector<std::string> entries;
    std::size_t next = 0;
    bool leftover = false;  // something in it stayed
};

bool Removable(FsStatus status) { return status.ok() || status.code == FsCode::NotFound; }

struct OpenedDir {
    ScopedDir dir;
    EntryStatus status;  // read through the open directory itself
};

// Opens the sub-folder `name` only when the opened folder is the very entry that was
// looked at: the name may have been given to another object in between.
std::optional<OpenedDir> OpenVerified(FileSystem& fs, DirHandle dir, const std::string& name,
                                      const EntryStatus& listed) {
    FsResult<DirHandle> opened = fs.OpenChildDirectory(dir, name);
    if (!opened.ok()) return std::nullopt;
    ScopedDir child(fs, opened.value());
    FsResult<EntryStatus> status = fs.StatDirectory(child.get());
    if (!status.ok() || status.value().id != listed.id) return std::nullopt;
    return OpenedDir{std::move(child), status.value()};
}

// Lists a directory just entered, first giving its owner the rights that emptying it
// needs. The mode is changed through the open directory, never by name.
Level Enter(FileSystem& fs, DirHandle dir, const EntryStatus& status, std::string name) {
    Level level;
    level.id = status.id;
    level.name = std::move(name);
    const std::uint32_t user = fs.EffectiveUser();
    if (user != 0 && status.owner == user && (status.mode & kOwnerAll) != kOwnerAll) {
        // Should this fail, listing or removing below fails too and is counted there.
        (void)fs.SetMode(dir, status.mode | kOwnerAll);
    }
    FsResult<std::vector<std::string>> entries = fs.ListEntries(dir);
    if (entries.ok())
        level.entries = std::move(entries.value());
    else
        level.leftover = true;
    return level;
}

}  // namespace

TreeResult DeleteTree(FileSystem& fs, DirHandle parent, const std::string& name, FileId expected) {
    FsResult<EntryStatus> top = fs.StatEntry(parent, name);
    if (!top.ok())
        return top.code() == FsCode::NotFound ? TreeResult::AlreadyGone : TreeResult::NotRemoved;
    if (top.value().kind != EntryKind::Directory || top.value().id != expected)
        return TreeResult::Changed;
    FsResult<EntryStatus> holder = fs.StatDirectory(parent);
    if (!holder.ok()) return TreeResult::NotRemoved;
    // A file system mounted at the item itself is not the item's to empty.
    if (top.value().mountRoot || top.value().id.device != holder.value().id.device)
        return TreeResult::NotRemoved;

    std::optional<OpenedDir> item = OpenVerified(fs, parent, name, top.value());
    if (!item) return TreeResult::NotRemoved;
    std::optional<ScopedDir> current = std::move(item->dir);

    const std::uint64_t device = expected.device;
    std::vector<Level> levels;
    levels.push_back(Enter(fs, current->get(), item->status, name));
    bool lost = false;

    for (;;) {
        Level& level = levels.back();
        if (level.next < level.entries.size()) {
            const std::string entry = std::move(level.entries[level.next++]);
            FsResult<EntryStatus> status = fs.StatEntry(current->get(), entry);
            if (!status.ok()) {
                if (status.code() != FsCode::NotFound) level.leftover = true;
                continue;
            }
            if (status.value().kind != EntryKind::Directory) {
                if (!Removable(fs.RemoveFile(current->get(), entry))) level.leftover = true;
                continue;
            }
            if (status.value().mountRoot || status.value().id.device != device) {
                level.leftover = true;
                continue;
            }
            std::optional<OpenedDir> child =
                OpenVerified(fs, current->get(), entry, status.value());
            if (!child) {
                level.leftover = true;
                continue;
            }
            // Only one directory stays open: the way back up goes through "..".
            current = std::move(child->dir);
            levels.push_back(Enter(fs, current->get(), child->status, entry));
            continue;
        }

        if (levels.size() == 1) break;
        Level done = std::move(levels.back());
        levels.pop_back();

        // Climb back only into the folder recorded on the way down; if the folder was
        // moved meanwhile, ".." leads elsewhere and the walk stops where it is.
        FsResult<DirHandle> up = fs.OpenParent(current->get());
        if (!up.ok()) {
            lost = true;
            break;
        }
        ScopedDir above(fs, up.value());
        FsResult<EntryStatus> aboveStatus = fs.StatDirectory(above.get());
        if (!aboveStatus.ok() || aboveStatus.value().id != levels.back().id) {
            lost = true;
            break;
        }
        current = std::move(above);
        if (done.leftover || !Removable(fs.RemoveDirectory(current->get(), done.name)))
            levels.back().leftover = true;
    }
    current.reset();

    if (lost || levels.front().leftover) return TreeResult::NotRemoved;
    if (!fs.RemoveDirectory(parent, name).ok()) return TreeResult::NotRemoved;
    // Whatever stands at the name now is someone else's.
    FsResult<EntryStatus> after = fs.StatEntry(parent, name);
    return after.code() == FsCode::NotFound ? TreeResult::Removed : TreeResult::NotRemoved;
}

}  // namespace varnelo
