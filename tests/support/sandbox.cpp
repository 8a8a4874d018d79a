#include "tests/support/sandbox.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace varnelo::test {

namespace fs = std::filesystem;

Sandbox::Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "varnelo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    root_ = fs::canonical(pattern);
    fs::create_directories(homeTrash());

    const char* names[] = {"HOME", "XDG_DATA_HOME", "VARNELO_VOLUME_ROOTS", "XDG_RUNTIME_DIR"};
    const std::string values[] = {home().string(), (home() / ".local/share").string(), "",
                                  (root_ / "run").string()};
    fs::create_directories(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    for (int i = 0; i < 4; ++i) {
        saved_[i].name = names[i];
        if (const char* old = std::getenv(names[i])) {
            saved_[i].had = true;
            saved_[i].value = old;
        }
        setenv(names[i], values[i].c_str(), 1);
    }
}

Sandbox::~Sandbox() {
    for (const Saved& s : saved_) {
        if (s.had)
            setenv(s.name.c_str(), s.value.c_str(), 1);
        else
            unsetenv(s.name.c_str());
    }
    // Trees made unreadable by a test must be opened up before they can be removed.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(
             root_, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
}

void Sandbox::RequireInside(const fs::path& path) const {
    const fs::path normal = fs::absolute(path).lexically_normal();
    const auto rel = normal.lexically_relative(root_);
    if (rel.empty() || *rel.begin() == "..") {
        std::fprintf(stderr, "refusing to work outside the sandbox: %s\n", normal.c_str());
        std::abort();
    }
}

void Sandbox::WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string Sandbox::ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace varnelo::test
