#pragma once

#include "core/file_system.h"

namespace varnelo {

// The file system of this machine. A handle is a directory descriptor; every call below
// it is relative to that descriptor and never follows a link in the last component.
// A directory its owner may not read is held as an O_PATH descriptor until its mode is
// changed, so that it can still be verified and opened up.
class PosixFileSystem final : public FileSystem {
  public:
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

    std::uint32_t EffectiveUser() const override;
};

}  // namespace varnelo
