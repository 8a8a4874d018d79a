#pragma once

#include <filesystem>
#include <string>

namespace varnelo::test {

// A private temporary tree for one test: HOME and XDG_DATA_HOME point into it and no
// volume trash is looked at, so nothing outside it can be read or removed. The
// environment is put back and the tree removed when the sandbox ends.
class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path home() const { return root_ / "home"; }
    // $XDG_DATA_HOME/Trash
    std::filesystem::path homeTrash() const { return root_ / "home/.local/share/Trash"; }

    // Aborts the test process unless path lies inside the sandbox. Every test that
    // deletes calls it first.
    void RequireInside(const std::filesystem::path& path) const;

    // Writes a file (and its parent folders).
    static void WriteFile(const std::filesystem::path& path, const std::string& content);
    static std::string ReadFile(const std::filesystem::path& path);

  private:
    std::filesystem::path root_;
    struct Saved {
        std::string name;
        bool had = false;
        std::string value;
    };
    Saved saved_[4];
};

}  // namespace varnelo::test
