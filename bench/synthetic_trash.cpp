#include "bench/synthetic_trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace varnelo::bench {

namespace {

constexpr int kBigTreeDirs = 10;  // first level; each holds as many folders again
constexpr int kBigTreeFilesPerLeaf = 30;

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

[[noreturn]] void Fail(const char* what, std::string_view name) {
    throw std::runtime_error(std::string(what) + " " + std::string(name) + ": " +
                             std::strerror(errno));
}

void MakeDir(int at, const std::string& name) {
    if (mkdirat(at, name.c_str(), 0700) != 0) Fail("mkdir", name);
}

int OpenDir(int at, const std::string& name) {
    const int fd = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) Fail("open", name);
    return fd;
}

// Content is taken from one block of noise, so files are not all zeros and cost no
// generation time.
const std::string& Noise() {
    static const std::string noise = [] {
        std::string s(std::size_t{1} << 20, '\0');
        for (std::size_t i = 0; i < s.size(); i += 8) {
            const std::uint64_t v = Mix(i);
            std::memcpy(s.data() + i, &v, 8);
        }
        return s;
    }();
    return noise;
}

void WriteFile(int at, const std::string& name, std::string_view content, std::int64_t mtime) {
    const int fd = openat(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) Fail("create", name);
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put <= 0) Fail("write", name);
        done += static_cast<std::size_t>(put);
    }
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    if (futimens(fd, times) != 0) Fail("set times of", name);
    ::close(fd);
}

// Mostly tiny files, a few of tens of kilobytes, rarely one near a megabyte.
std::size_t FileSize(std::uint64_t h) {
    const std::uint64_t pick = h % 1000;
    if (pick < 950) return (h >> 10) % 2048;
    if (pick < 999) return 2048 + (h >> 10) % 30720;
    return 32768 + (h >> 10) % 991232;
}

std::int64_t RoundedKb(std::uint64_t bytes) {
    return static_cast<std::int64_t>(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0));
}

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string PercentEncode(std::string_view text, bool keepSlash) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (Unreserved(c) || (keepSlash && c == '/')) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string DateText(Moment m) {
    const Day day = std::chrono::floor<std::chrono::days>(m);
    const std::chrono::year_month_day ymd{day};
    const std::chrono::hh_mm_ss<std::chrono::seconds> time{m - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return text;
}

// Names as people have them: words, spaces, CJK, numbers that sort naturally.
std::string ItemName(int i, std::uint64_t h, bool folder) {
    static constexpr std::array<std::string_view, 8> kStems = {
        "report", "IMG_", "文档", "notes draft", "照片 ", "data-set", "backup (copy) ", "Übersicht",
    };
    static constexpr std::array<std::string_view, 6> kExtensions = {
        ".txt", ".jpg", ".log", ".pdf", ".docx", "",
    };
    std::string name(kStems[h % kStems.size()]);
    name += std::to_string(i);
    if (!folder) name += kExtensions[(h >> 8) % kExtensions.size()];
    return name;
}

struct Tree {
    std::uint64_t bytes = 0;
    int files = 0;
};

// A folder item: either a few files, or kBigTreeDirs^2 folders of kBigTreeFilesPerLeaf
// files. Every folder holds a link out of the tree.
Tree WriteFolder(int filesFd, const std::string& name, bool big, std::uint64_t h,
                 std::int64_t mtime, const std::string& keepTarget) {
    const std::string& noise = Noise();
    Tree tree;
    MakeDir(filesFd, name);
    const int top = OpenDir(filesFd, name);
    const auto file = [&](int at, const std::string& fileName, std::uint64_t fh) {
        const std::size_t size = FileSize(fh) % 4096;
        WriteFile(at, fileName, std::string_view(noise).substr(fh % 4096, size), mtime);
        tree.bytes += size;
        ++tree.files;
    };
    if (symlinkat(keepTarget.c_str(), top, "keep-link") != 0) Fail("link", name);
    tree.bytes += keepTarget.size();
    ++tree.files;
    if (!big) {
        const int count = 1 + int(h % 5);
        for (int f = 0; f < count; ++f) file(top, "part " + std::to_string(f), Mix(h + f));
    } else {
        for (int d = 0; d < kBigTreeDirs; ++d) {
            const std::string dirName = "sub " + std::to_string(d);
            MakeDir(top, dirName);
            const int dirFd = OpenDir(top, dirName);
            for (int e = 0; e < kBigTreeDirs; ++e) {
                const std::string leafName = "leaf " + std::to_string(e);
                MakeDir(dirFd, leafName);
                const int leafFd = OpenDir(dirFd, leafName);
                for (int f = 0; f < kBigTreeFilesPerLeaf; ++f)
                    file(leafFd, "file " + std::to_string(f) + ".dat",
                         Mix(h ^ std::uint64_t(d * 1000 + e * 100 + f)));
                ::close(leafFd);
            }
            ::close(dirFd);
        }
    }
    ::close(top);
    return tree;
}

}  // namespace

BuiltTrash BuildTrash(const std::string& trashDir, const TrashShape& shape, Day today,
                      const std::string& keepTarget) {
    using std::chrono::days;
    using std::chrono::seconds;

    BuiltTrash built;
    built.trashDir = trashDir;
    if (mkdir(trashDir.c_str(), 0700) != 0) Fail("mkdir", trashDir);
    const int trashFd = OpenDir(AT_FDCWD, trashDir);
    MakeDir(trashFd, "files");
    MakeDir(trashFd, "info");
    const int filesFd = OpenDir(trashFd, "files");
    const int infoFd = OpenDir(trashFd, "info");

    const std::string& noise = Noise();
    const int folderEvery = shape.foldersPerMille > 0 ? 1000 / shape.foldersPerMille : 0;
    const int bigTrees = std::max(1, shape.items / std::max(1, shape.itemsPerBigTree));
    int folderIndex = 0;
    std::string sizesCache;

    for (int i = 0; i < shape.items; ++i) {
        const std::uint64_t h = Mix(std::uint64_t(i));
        const bool folder = folderEvery > 0 && i % folderEvery == folderEvery / 2;
        const bool big = folder && folderIndex < bigTrees;
        // Big trees alternate between old and new so that both lists hold some.
        int ageDays = 1 + int((h >> 20) % 364);
        if (ageDays >= kCutoffDays) ++ageDays;
        if (big)
            ageDays = folderIndex % 2 == 0 ? kCutoffDays + 20 + folderIndex
                                           : kCutoffDays - 20 - folderIndex;
        const bool old = ageDays > kCutoffDays;
        const Moment deletedAt =
            Day{today - days{ageDays}} + seconds{3600 + std::int64_t((h >> 40) % (22 * 3600))};
        // Local seconds stand in for the epoch: only their sameness across copies matters.
        const std::int64_t infoMtime = deletedAt.time_since_epoch().count();
        const std::int64_t entryMtime = infoMtime - std::int64_t((h >> 12) % (400 * 86400));

        std::string name = ItemName(i, h, folder);
        // Now and then a second item of the same name, renamed on the way in.
        std::string originalName = name;
        if (i % 97 == 3 && i > 0) {
            originalName = ItemName(i - 1, Mix(std::uint64_t(i - 1)), folder);
            name = originalName + ".2";
        }
        const std::string original = "/home/user/" +
                                     std::string(i % 3 == 0 ? "下载" : "Documents/project ") +
                                     std::to_string(i % 40) + "/" + originalName;

        std::uint64_t bytes = 0;
        if (folder) {
            const Tree tree = WriteFolder(filesFd, name, big, h, entryMtime, keepTarget);
            bytes = tree.bytes;
            built.fileCount += tree.files;
            ++built.folderCount;
            ++folderIndex;
        } else {
            const std::size_t size = FileSize(h);
            WriteFile(filesFd, name, std::string_view(noise).substr(0, size), entryMtime);
            bytes = size;
            ++built.fileCount;
        }
        if (folder) {
            const timespec times[2] = {{entryMtime, 0}, {entryMtime, 0}};
            if (utimensat(filesFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
                Fail("set times of", name);
        }

        const std::string info = "[Trash Info]\nPath=" + PercentEncode(original, true) +
                                 "\nDeletionDate=" + DateText(deletedAt) + "\n";
        WriteFile(infoFd, name + ".trashinfo", info, infoMtime);
        if (folder)
            sizesCache += std::to_string(bytes) + " " + std::to_string(infoMtime) + " " +
                          PercentEncode(name, false) + "\n";

        ++built.itemCount;
        built.totalKb += RoundedKb(bytes);
        if (old) {
            ++built.oldCount;
            built.oldFolderCount += folder ? 1 : 0;
            built.oldKb += RoundedKb(bytes);
            built.oldPaths.push_back(trashDir + "/files/" + name);
            built.oldPaths.push_back(trashDir + "/info/" + name + ".trashinfo");
        }
    }
    WriteFile(trashFd, "directorysizes", sizesCache, Moment{today}.time_since_epoch().count());
    ::close(infoFd);
    ::close(filesFd);
    ::close(trashFd);
    return built;
}

}  // namespace varnelo::bench
