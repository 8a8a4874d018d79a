#include "tests/support/memory_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <utility>

namespace varnelo::test {

namespace {

constexpr std::uint32_t kRead = 4;
constexpr std::uint32_t kWrite = 2;
constexpr std::uint32_t kSearch = 1;
constexpr int kMaxLinkHops = 40;

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

const char* KindName(EntryKind kind) {
    switch (kind) {
        case EntryKind::File:
            return "file";
        case EntryKind::Directory:
            return "dir";
        case EntryKind::Symlink:
            return "link";
        case EntryKind::Other:
            return "other";
    }
    return "?";
}

}  // namespace

bool Mutates(FsCall call) {
    switch (call) {
        case FsCall::SetMode:
        case FsCall::RemoveFile:
        case FsCall::RemoveDirectory:
        case FsCall::ReplaceSmallFile:
            return true;
        default:
            return false;
    }
}

struct MemoryFileSystem::Node : std::enable_shared_from_this<Node> {
    EntryKind kind = EntryKind::Directory;
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    FileId id;
    bool mountRoot = false;
    std::string content;  // a file's bytes or a link's target
    std::map<std::string, NodePtr> children;
    Node* parent = nullptr;  // null for the root and for anything taken out of the tree
    std::string name;

    EntryStatus Status() const {
        return {.kind = kind, .id = id, .mode = mode, .owner = owner, .mountRoot = mountRoot};
    }
};

MemoryFileSystem::MemoryFileSystem(std::uint32_t user) : user_(user) {
    root_ = std::make_shared<Node>();
    root_->mode = 0755;
    root_->owner = 0;
    root_->id = {.device = 1, .inode = 1};
}

MemoryFileSystem::~MemoryFileSystem() = default;

MemoryFileSystem::NodePtr MemoryFileSystem::NewNode(EntryKind kind, Node* parent,
                                                    std::uint32_t mode) {
    auto node = std::make_shared<Node>();
    node->kind = kind;
    node->mode = mode & 07777;
    node->owner = user_;
    node->id = {.device = parent != nullptr ? parent->id.device : 1, .inode = nextInode_++};
    return node;
}

void MemoryFileSystem::Attach(const NodePtr& parent, const std::string& name, NodePtr child) {
    if (auto old = parent->children.find(name); old != parent->children.end())
        old->second->parent = nullptr;
    child->parent = parent.get();
    child->name = name;
    parent->children[name] = std::move(child);
}

MemoryFileSystem::NodePtr MemoryFileSystem::Find(const std::string& path) const {
    NodePtr node = root_;
    for (const std::string& part : Split(path)) {
        auto it = node->children.find(part);
        if (it == node->children.end()) return nullptr;
        node = it->second;
    }
    return node;
}

MemoryFileSystem::NodePtr MemoryFileSystem::MakeParents(const std::string& path,
                                                        std::string& leaf) {
    std::vector<std::string> parts = Split(path);
    if (parts.empty()) {
        ADD_FAILURE() << "no name in " << path;
        return nullptr;
    }
    leaf = parts.back();
    parts.pop_back();
    NodePtr node = root_;
    for (const std::string& part : parts) {
        auto it = node->children.find(part);
        if (it == node->children.end()) {
            Attach(node, part, NewNode(EntryKind::Directory, node.get(), 0755));
            it = node->children.find(part);
        }
        node = it->second;
        if (node->kind != EntryKind::Directory) {
            ADD_FAILURE() << part << " is no directory in " << path;
            return nullptr;
        }
    }
    return node;
}

void MemoryFileSystem::AddDirectory(const std::string& path, std::uint32_t mode) {
    std::string leaf;
    if (NodePtr parent = MakeParents(path, leaf))
        Attach(parent, leaf, NewNode(EntryKind::Directory, parent.get(), mode));
}

void MemoryFileSystem::AddFile(const std::string& path, std::string content, std::uint32_t mode) {
    std::string leaf;
    if (NodePtr parent = MakeParents(path, leaf)) {
        NodePtr node = NewNode(EntryKind::File, parent.get(), mode);
        node->content = std::move(content);
        Attach(parent, leaf, std::move(node));
    }
}

void MemoryFileSystem::AddSymlink(const std::string& path, std::string target) {
    std::string leaf;
    if (NodePtr parent = MakeParents(path, leaf)) {
        NodePtr node = NewNode(EntryKind::Symlink, parent.get(), 0777);
        node->content = std::move(target);
        Attach(parent, leaf, std::move(node));
    }
}

void MemoryFileSystem::Chmod(const std::string& path, std::uint32_t mode) {
    if (NodePtr node = Find(path))
        node->mode = mode & 07777;
    else
        ADD_FAILURE() << "no " << path;
}

void MemoryFileSystem::Chown(const std::string& path, std::uint32_t owner) {
    if (NodePtr node = Find(path))
        node->owner = owner;
    else
        ADD_FAILURE() << "no " << path;
}

void MemoryFileSystem::MountAt(const std::string& path, bool sameDevice) {
    NodePtr node = Find(path);
    if (!node || node->kind != EntryKind::Directory) {
        ADD_FAILURE() << "cannot mount at " << path;
        return;
    }
    node->mountRoot = true;
    if (sameDevice) return;
    const std::uint64_t device = nextDevice_++;
    std::vector<Node*> todo{node.get()};
    while (!todo.empty()) {
        Node* n = todo.back();
        todo.pop_back();
        n->id.device = device;
        for (auto& [name, child] : n->children) todo.push_back(child.get());
    }
}

bool MemoryFileSystem::Erase(const std::string& path) {
    NodePtr node = Find(path);
    if (!node || node == root_) return false;
    Node* parent = node->parent;
    node->parent = nullptr;
    parent->children.erase(node->name);
    return true;
}

bool MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
    NodePtr node = Find(from);
    std::string leaf;
    NodePtr target = Find(to.substr(0, to.rfind('/')));
    if (!node || node == root_ || !target || target->kind != EntryKind::Directory) return false;
    leaf = to.substr(to.rfind('/') + 1);
    node->parent->children.erase(node->name);
    Attach(target, leaf, node);
    return true;
}

std::optional<EntryStatus> MemoryFileSystem::Lstat(const std::string& path) const {
    if (NodePtr node = Find(path)) return node->Status();
    return std::nullopt;
}

std::optional<std::string> MemoryFileSystem::Content(const std::string& path) const {
    NodePtr node = Find(path);
    if (!node || node->kind == EntryKind::Directory) return std::nullopt;
    return node->content;
}

std::map<std::string, std::string> MemoryFileSystem::Snapshot() const {
    std::map<std::string, std::string> out;
    std::vector<std::pair<std::string, const Node*>> todo{{"/", root_.get()}};
    while (!todo.empty()) {
        auto [path, node] = todo.back();
        todo.pop_back();
        std::ostringstream line;
        line << KindName(node->kind) << ' ' << std::oct << node->mode << std::dec << ' '
             << node->owner << ' ' << node->id.device << ':' << node->id.inode
             << (node->mountRoot ? " mount " : " ") << node->content;
        out[path] = line.str();
        for (const auto& [name, child] : node->children)
            todo.emplace_back(path == "/" ? "/" + name : path + "/" + name, child.get());
    }
    return out;
}

void MemoryFileSystem::FailCall(std::size_t index, FsCode code) {
    failIndex_ = index;
    failIndexCode_ = code;
}

void MemoryFileSystem::FailAt(FsCall call, const std::string& path, FsCode code) {
    pathFaults_.push_back({call, path, code});
}

void MemoryFileSystem::SetHook(std::function<void(FsCall, const std::string&)> hook) {
    hook_ = std::move(hook);
}

std::string MemoryFileSystem::PathOf(const Node* node) const {
    if (node == root_.get()) return "/";
    std::vector<const std::string*> names;
    bool attached = false;
    for (; node != nullptr; node = node->parent) {
        if (node == root_.get()) {
            attached = true;
            break;
        }
        names.push_back(&node->name);
    }
    std::string path = attached ? "" : "(removed)";
    std::size_t length = path.size();
    for (const std::string* name : names) length += name->size() + 1;
    path.reserve(length);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += '/';
        path += **it;
    }
    return path;
}

bool MemoryFileSystem::May(const Node& node, std::uint32_t bits) const {
    if (user_ == 0) return true;
    const std::uint32_t granted = node.owner == user_ ? (node.mode >> 6) & 7 : node.mode & 7;
    return (granted & bits) == bits;
}

MemoryFileSystem::NodePtr MemoryFileSystem::Handle(DirHandle dir) const {
    auto it = handles_.find(dir.value);
    if (it == handles_.end()) {
        ADD_FAILURE() << "unknown directory handle " << dir.value;
        return nullptr;
    }
    return it->second;
}

DirHandle MemoryFileSystem::NewHandle(NodePtr node) {
    const std::uint64_t value = nextHandle_++;
    handles_[value] = std::move(node);
    mostHandles_ = std::max(mostHandles_, handles_.size());
    return DirHandle{value};
}

FsCode MemoryFileSystem::Begin(FsCall call, const std::string& path) {
    if (hook_ && !inHook_) {
        inHook_ = true;
        hook_(call, path);
        inHook_ = false;
    }
    const std::size_t index = calls_.size();
    calls_.push_back({call, path, FsCode::Ok});
    FsCode code = FsCode::Ok;
    if (failIndex_ && *failIndex_ == index) code = failIndexCode_;
    for (const PathFault& fault : pathFaults_)
        if (fault.call == call && fault.path == path) code = fault.code;
    calls_.back().result = code;
    return code;
}

FsCode MemoryFileSystem::End(FsCode result) {
    calls_.back().result = result;
    return result;
}

namespace {

std::string Join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

}  // namespace

FsResult<DirHandle> MemoryFileSystem::OpenDirectory(const std::string& path) {
    if (FsCode code = Begin(FsCall::OpenDirectory, path); code != FsCode::Ok) return code;
    if (path.empty() || path.front() != '/') return End(FsCode::Failed);
    std::vector<std::string> parts = Split(path);
    NodePtr node = root_;
    int hops = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!May(*node, kSearch)) return End(FsCode::AccessDenied);
        if (parts[i] == ".") continue;
        if (parts[i] == "..") {
            if (node->parent != nullptr) node = node->parent->shared_from_this();
            continue;
        }
        auto it = node->children.find(parts[i]);
        if (it == node->children.end()) return End(FsCode::NotFound);
        if (it->second->kind == EntryKind::Symlink) {
            if (++hops > kMaxLinkHops) return End(FsCode::Failed);
            const std::string& target = it->second->content;
            std::vector<std::string> rest(parts.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                          parts.end());
            std::vector<std::string> next =
                Split(target.starts_with('/') ? target : Join(PathOf(node.get()), target));
            next.insert(next.end(), rest.begin(), rest.end());
            parts = std::move(next);
            node = root_;
            i = static_cast<std::size_t>(-1);
            continue;
        }
        node = it->second;
        if (node->kind != EntryKind::Directory) return End(FsCode::NotDirectory);
    }
    return NewHandle(node);
}

FsResult<DirHandle> MemoryFileSystem::OpenChildDirectory(DirHandle dir, const std::string& name) {
    NodePtr node = Handle(dir);
    if (!node) return FsCode::Failed;
    if (FsCode code = Begin(FsCall::OpenChildDirectory, Join(PathOf(node.get()), name));
        code != FsCode::Ok)
        return code;
    if (!PlainName(name)) return End(FsCode::Failed);
    if (node != root_ && node->parent == nullptr) return End(FsCode::NotFound);
    if (!May(*node, kSearch)) return End(FsCode::AccessDenied);
    auto it = node->children.find(name);
    if (it == node->children.end()) return End(FsCode::NotFound);
    if (it->second->kind != EntryKind::Directory) return End(FsCode::NotDirectory);
    return NewHandle(it->second);
}

FsResult<DirHandle> MemoryFileSystem::OpenParent(DirHandle dir) {
    NodePtr node = Handle(dir);
    if (!node) return FsCode::Failed;
    if (FsCode code = Begin(FsCall::OpenParent, PathOf(node.get())); code != FsCode::Ok)
        return code;
    if (node != root_ && node->parent == nullptr) return End(FsCode::NotFound);
    if (!May(*node, kSearch)) return End(FsCode::AccessDenied);
    if (node == root_) return NewHandle(root_);
    return NewHandle(node->parent->shared_from_this());
}

void MemoryFileSystem::Close(DirHandle dir) {
    if (handles_.erase(dir.value) == 0) ADD_FAILURE() << "closing unknown handle " << dir.value;
}

FsResult<EntryStatus> MemoryFileSystem::StatDirectory(DirHandle dir) {
    NodePtr node = Handle(dir);
    if (!node) return FsCode::Failed;
    if (FsCode code = Begin(FsCall::StatDirectory, PathOf(node.get())); code != FsCode::Ok)
        return code;
    return node->Status();
}

FsResult<EntryStatus> MemoryFileSystem::StatEntry(DirHandle dir, const std::string& name) {
    NodePtr node = Handle(dir);
    if (!node) return FsCode::Failed;
    if (FsCode code = Begin(FsCall::StatEntry, Join(PathOf(node.get()), name)); code != FsCode::Ok)
        return code;
    if (!PlainName(name)) return End(FsCode::Failed);
    if (node != root_ && node->parent == nullptr) return End(FsCode::NotFound);
    if (!May(*node, kSearch)) return End(FsCode::AccessDenied);
    auto it = node->children.find(name);
    if (it == node->children.end()) return End(FsCode::NotFound);
    return it->second->Status();
}

FsResult<std::vector<std::string>> MemoryFileSystem::ListEntries(DirHandle dir) {
    NodePtr node = Handle(dir);
    if (!node) return FsCode::Failed;
    if (FsCode code = Begin(FsCall::ListEntries, PathOf(node.get())); code != FsCode::Ok)
        return code;
    if (!May(*node, kRead)) return End(FsCode::AccessDenied);
    std::vector<std::string> names;
    for (const auto& [name, child] : node->children) names.push_back(name);
    return names;
}

FsStatus MemoryFileSystem::SetMode(DirHandle dir, std::uint32_t mode) {
    NodePtr node = Handle(dir);
    if (!node) return {FsCode::Failed};
    if (FsCode code = Begin(FsCall::SetMode, PathOf(node.get())); code != FsCode::Ok) return {code};
    if (user_ != 0 && node->owner != user_) return {End(FsCode::AccessDenied)};
    node->mode = mode & 07777;
    return {};
}

FsStatus MemoryFileSystem::RemoveFile(DirHandle dir, const std::string& name) {
    NodePtr node = Handle(dir);
    if (!node) return {FsCode::Failed};
    if (FsCode code = Begin(FsCall::RemoveFile, Join(PathOf(node.get()), name)); code != FsCode::Ok)
        return {code};
    if (!PlainName(name)) return {End(FsCode::Failed)};
    if (node != root_ && node->parent == nullptr) return {End(FsCode::NotFound)};
    if (!May(*node, kWrite | kSearch)) return {End(FsCode::AccessDenied)};
    auto it = node->children.find(name);
    if (it == node->children.end()) return {End(FsCode::NotFound)};
    if (it->second->kind == EntryKind::Directory) return {End(FsCode::Failed)};
    it->second->parent = nullptr;
    node->children.erase(it);
    return {};
}

FsStatus MemoryFileSystem::RemoveDirectory(DirHandle dir, const std::string& name) {
    NodePtr node = Handle(dir);
    if (!node) return {FsCode::Failed};
    if (FsCode code = Begin(FsCall::RemoveDirectory, Join(PathOf(node.get()), name));
        code != FsCode::Ok)
        return {code};
    if (!PlainName(name)) return {End(FsCode::Failed)};
    if (node != root_ && node->parent == nullptr) return {End(FsCode::NotFound)};
    if (!May(*node, kWrite | kSearch)) return {End(FsCode::AccessDenied)};
    auto it = node->children.find(name);
    if (it == node->children.end()) return {End(FsCode::NotFound)};
    if (it->second->kind != EntryKind::Directory) return {End(FsCode::NotDirectory)};
    if (it->second->mountRoot) return {End(FsCode::Failed)};
    if (!it->second->children.empty()) return {End(FsCode::NotEmpty)};
    it->second->parent = nullptr;
    node->children.erase(it);
    return {};
}

FsResult<std::string> MemoryFileSystem::ReadSmallFile(DirHandle dir, const std::string& name,
                                                      std::size_t limit) {
    NodePtr node = Handle(dir);
    if (!node) return FsCode::Failed;
    if (FsCode code = Begin(FsCall::ReadSmallFile, Join(PathOf(node.get()), name));
        code != FsCode::Ok)
        return code;
    if (!PlainName(name)) return End(FsCode::Failed);
    if (!May(*node, kSearch)) return End(FsCode::AccessDenied);
    auto it = node->children.find(name);
    if (it == node->children.end()) return End(FsCode::NotFound);
    if (it->second->kind != EntryKind::File) return End(FsCode::Failed);
    if (!May(*it->second, kRead)) return End(FsCode::AccessDenied);
    if (it->second->content.size() > limit) return End(FsCode::TooLarge);
    return it->second->content;
}

FsStatus MemoryFileSystem::ReplaceSmallFile(DirHandle dir, const std::string& name,
                                            std::string_view content) {
    NodePtr node = Handle(dir);
    if (!node) return {FsCode::Failed};
    if (FsCode code = Begin(FsCall::ReplaceSmallFile, Join(PathOf(node.get()), name));
        code != FsCode::Ok)
        return {code};
    if (!PlainName(name)) return {End(FsCode::Failed)};
    if (node != root_ && node->parent == nullptr) return {End(FsCode::NotFound)};
    if (!May(*node, kWrite | kSearch)) return {End(FsCode::AccessDenied)};
    std::uint32_t mode = 0600;
    if (auto it = node->children.find(name); it != node->children.end()) {
        if (it->second->kind != EntryKind::File) return {End(FsCode::Failed)};
        mode = it->second->mode;
    }
    NodePtr file = NewNode(EntryKind::File, node.get(), mode);
    file->content = std::string(content);
    Attach(node, name, std::move(file));
    return {};
}

}  // namespace varnelo::test
