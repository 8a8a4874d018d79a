#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/file_id.h"

namespace varnelo {

enum class FsCode {
    Ok,
    NotFound,
    NotDirectory,  // also: a symbolic link where a directory was asked for
    AccessDenied,
    NotEmpty,
    TooLarge,
    Failed,  // any other failure of the underlying call
};

// The outcome of a call that gives nothing back.
struct [[nodiscard]] FsStatus {
    FsCode code = FsCode::Ok;
    bool ok() const { return code == FsCode::Ok; }
};

// A value, or the reason there is none.
template <class T>
class [[nodiscard]] FsResult {
  public:
    FsResult(T value) : code_(FsCode::Ok), value_(std::move(value)) {}
    FsResult(FsCode code) : code_(code == FsCode::Ok ? FsCode::Failed : code) {}

    bool ok() const { return code_ == FsCode::Ok; }
    FsCode code() const { return code_; }
    // Only when ok().
    T& value() { return *value_; }
    const T& value() const { return *value_; }

  private:
    FsCode code_;
    std::optional<T> value_;
};

enum class EntryKind { File, Directory, Symlink, Other };

// What lstat tells of one entry; links are never followed.
struct EntryStatus {
    EntryKind kind = EntryKind::Other;
    FileId id;
    std::uint32_t mode = 0;   // permission bits only (07777)
    std::uint32_t owner = 0;  // user id
    bool mountRoot = false;   // the root of a file system mounted here, even one of the same device
};

// An open directory. Work below it goes through the handle, never through a path, so
// that a folder renamed or swapped for a link meanwhile cannot redirect it.
struct DirHandle {
    std::uint64_t value = 0;
    friend bool operator==(const DirHandle&, const DirHandle&) = default;
};

// The calls the permanent deletion makes, kept small so that it runs over the real
// file system and over an in-memory one that can fail any single call.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Opens a directory by absolute path; links on the way are followed (the user's
    // trash directory may be one).
    virtual FsResult<DirHandle> OpenDirectory(const std::string& path) = 0;
    // Opens the directory `name` inside dir. Fails with NotDirectory, touching nothing,
    // when the entry is anything else, a link to a directory included.
    virtual FsResult<DirHandle> OpenChildDirectory(DirHandle dir, const std::string& name) = 0;
    // Opens the directory that holds dir now ("..").
    virtual FsResult<DirHandle> OpenParent(DirHandle dir) = 0;
    virtual void Close(DirHandle dir) = 0;

    virtual FsResult<EntryStatus> StatDirectory(DirHandle dir) = 0;
    virtual FsResult<EntryStatus> StatEntry(DirHandle dir, const std::string& name) = 0;
    // Entry names of dir, without "." and "..", in the order the file system gives them.
    virtual FsResult<std::vector<std::string>> ListEntries(DirHandle dir) = 0;
    // Changes the permission bits of the open directory itself.
    virtual FsStatus SetMode(DirHandle dir, std::uint32_t mode) = 0;

    // Removes a non-directory entry; a link is removed as a link.
    virtual FsStatus RemoveFile(DirHandle dir, const std::string& name) = 0;
    // Removes an empty directory.
    virtual FsStatus RemoveDirectory(DirHandle dir, const std::string& name) = 0;

    // Reads a regular file, not through a link; TooLarge beyond limit bytes.
    virtual FsResult<std::string> ReadSmallFile(DirHandle dir, const std::string& name,
                                                std::size_t limit) = 0;
    // Replaces a file's content so that a reader sees either the old or the new content:
    // a temporary file in the same directory renamed over it.
    virtual FsStatus ReplaceSmallFile(DirHandle dir, const std::string& name,
                                      std::string_view content) = 0;

    // The effective user id; 0 needs no permission bits.
    virtual std::uint32_t EffectiveUser() const = 0;
};

// Closes a handle when it goes out of scope.
class ScopedDir {
  public:
    ScopedDir(FileSystem& fs, DirHandle dir) : fs_(&fs), dir_(dir) {}
    ~ScopedDir() {
        if (fs_ != nullptr) fs_->Close(dir_);
    }
    ScopedDir(ScopedDir&& other) noexcept
        : fs_(std::exchange(other.fs_, nullptr)), dir_(other.dir_) {}
    ScopedDir& operator=(ScopedDir&& other) noexcept {
        if (this != &other) {
            if (fs_ != nullptr) fs_->Close(dir_);
            fs_ = std::exchange(other.fs_, nullptr);
            dir_ = other.dir_;
        }
        return *this;
    }
    ScopedDir(const ScopedDir&) = delete;
    ScopedDir& operator=(const ScopedDir&) = delete;

    DirHandle get() const { return dir_; }

  private:
    FileSystem* fs_;
    DirHandle dir_;
};

}  // namespace varnelo
