#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace varnelo::test {

// The calls of FileSystem, for counting, logging and failing them.
enum class FsCall {
    OpenDirectory,
    OpenChildDirectory,
    OpenParent,
    StatDirectory,
    StatEntry,
    ListEntries,
    SetMode,
    RemoveFile,
    RemoveDirectory,
    ReadSmallFile,
    ReplaceSmallFile,
};

// Calls that change something.
bool Mutates(FsCall call);

struct CallRecord {
    FsCall call;
    std::string path;  // the object the call is about: the directory, or directory/name
    FsCode result;
};

// A POSIX-like file system in memory: permission bits checked for a non-root user (owner
// and other bits; groups are not modelled), links never followed below a handle, devices
// and mount points, open handles that outlive a removed or moved directory. Any call can
// be made to fail, and a hook can change the tree just before a call, as another process
// would.
class MemoryFileSystem final : public FileSystem {
  public:
    explicit MemoryFileSystem(std::uint32_t user = 1000);
    ~MemoryFileSystem() override;

    // Building. Missing parents are made with mode 0755 and the user as owner.
    void AddDirectory(const std::string& path, std::uint32_t mode = 0755);
    void AddFile(const std::string& path, std::string content = {}, std::uint32_t mode = 0644);
    void AddSymlink(const std::string& path, std::string target);
    void Chmod(const std::string& path, std::uint32_t mode);
    void Chown(const std::string& path, std::uint32_t owner);
    // Gives a directory and everything made below it later a device of its own, as if a
    // file system were mounted there; sameDevice models a bind mount.
    void MountAt(const std::string& path, bool sameDevice = false);
    // Changes behind the back of whoever holds handles; false when path is missing.
    bool Erase(const std::string& path);
    bool Rename(const std::string& from, const std::string& to);

    // Reading back, without counting. Paths are not resolved through links.
    std::optional<EntryStatus> Lstat(const std::string& path) const;
    std::optional<std::string> Content(const std::string& path) const;
    bool Exists(const std::string& path) const { return Lstat(path).has_value(); }
    // Every object with its kind, mode, owner, identity and content, by path: equal
    // snapshots mean nothing changed.
    std::map<std::string, std::string> Snapshot() const;

    // Faults. Counted calls are all but Close and EffectiveUser, numbered from 0.
    void FailCall(std::size_t index, FsCode code = FsCode::Failed);
    void FailAt(FsCall call, const std::string& path, FsCode code = FsCode::Failed);
    // Runs before every counted call; it may change the tree.
    void SetHook(std::function<void(FsCall, const std::string& path)> hook);

    std::size_t CallCount() const { return calls_.size(); }
    const std::vector<CallRecord>& Calls() const { return calls_; }
    std::size_t OpenHandles() const { return handles_.size(); }
    std::size_t MostOpenHandles() const { return mostHandles_; }

    // FileSystem
    FsResult<DirHandle> OpenDirectory(const std::string& path) override;
    FsResult<DirHandle> OpenChildDirectory(DirHandle dir, const std::string& name) override;
    FsResult<DirHandle> OpenParent(DirHandle dir) override;
    void Close(DirHandle dir) override;
    FsResult<EntryStatus> StatDirectory(DirHandle dir) override;
    FsResult<EntryStatus> StatEntry(DirHandle dir, const std::string& name) override;
    FsResult<std::vector<std::string>> ListEntries(DirHandle dir) override;
    FsStatus SetMode(DirHandle dir, std::uint32_t mode) override;
    FsStatus RemoveFile(DirHandle dir, const std::string& name) override;
    FsStatus RemoveDirectory(DirHandle dir, const std::string& name) override;
    FsResult<std::string> ReadSmallFile(DirHandle dir, const std::string& name,
                                        std::size_t limit) override;
    FsStatus ReplaceSmallFile(DirHandle dir, const std::string& name,
                              std::string_view content) override;
    std::uint32_t EffectiveUser() const override { return user_; }

  private:
    struct Node;
    using NodePtr = std::shared_ptr<Node>;

    NodePtr Find(const std::string& path) const;
    NodePtr MakeParents(const std::string& path, std::string& leaf);
    NodePtr NewNode(EntryKind kind, Node* parent, std::uint32_t mode);
    void Attach(const NodePtr& parent, const std::string& name, NodePtr child);
    NodePtr Handle(DirHandle dir) const;
    DirHandle NewHandle(NodePtr node);
    std::string PathOf(const Node* node) const;
    bool May(const Node& node, std::uint32_t bits) const;
    // Logs the call; gives the injected failure, if any, or Ok.
    FsCode Begin(FsCall call, const std::string& path);
    FsCode End(FsCode result);

    std::uint32_t user_;
    NodePtr root_;
    std::uint64_t nextInode_ = 2;
    std::uint64_t nextDevice_ = 2;
    std::uint64_t nextHandle_ = 1;
    std::map<std::uint64_t, NodePtr> handles_;
    std::size_t mostHandles_ = 0;
    std::vector<CallRecord> calls_;
    std::optional<std::size_t> failIndex_;
    FsCode failIndexCode_ = FsCode::Failed;
    struct PathFault {
        FsCall call;
        std::string path;
        FsCode code;
    };
    std::vector<PathFault> pathFaults_;
    std::function<void(FsCall, const std::string&)> hook_;
    bool inHook_ = false;
};

}  // namespace varnelo::test
