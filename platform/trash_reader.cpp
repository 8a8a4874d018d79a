#include "platform/trash_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLoggingCategory>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/directory_sizes.h"
#include "core/natural_order.h"
#include "core/trash_info.h"
#include "platform/tree_size.h"
#include "platform/unique_fd.h"

namespace varnelo {

namespace {

Q_LOGGING_CATEGORY(lcTrash, "varnelo.trash")

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// A real .trashinfo is a few hundred bytes; a hostile one may carry a path line of
// megabytes and still name a date, so only far larger files are refused.
constexpr std::size_t kMaxSmallFile = std::size_t{4} << 20;

QString Printable(std::string_view path) {
    return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
}

std::string StripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

// "." and ".." and repeated slashes resolved by text alone; the result never climbs
// above "/".
std::string NormalisedAbsolute(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        std::size_t end = i;
        while (end < path.size() && path[end] != '/') ++end;
        const std::string_view part = path.substr(i, end - i);
        i = end;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            const std::size_t slash = out.rfind('/');
            out.resize(slash == std::string::npos ? 0 : slash);
            continue;
        }
        out.push_back('/');
        out.append(part);
    }
    return out.empty() ? std::string("/") : out;
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return {};
}

// Reads small files relative to a directory descriptor into storage that is reused, so
// that reading thousands of them allocates almost nothing.
class SmallFileReader {
  public:
    enum class End {
        AtZero,       // read until read() gives 0: right for every kind of file
        AtShortRead,  // a regular file on Linux ends where a read comes back short; saves one
                      // system call per file, which counts for a trash of 100,000 items
    };

    // The content, or nullopt when the file cannot be opened or read, or is too large.
    // When st is given, the file's stat is stored there and only regular files are read.
    // O_NONBLOCK keeps a FIFO planted in place of the file from hanging the list.
    std::optional<std::string_view> Read(int dirFd, const char* name, End end,
                                         struct stat* st = nullptr) {
        UniqueFd fd(openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        if (!fd) return std::nullopt;
        if (st != nullptr && (fstat(fd.get(), st) != 0 || !S_ISREG(st->st_mode)))
            return std::nullopt;
        std::size_t length = 0;
        for (;;) {
            if (length == buffer_.size()) {
                if (buffer_.size() >= kMaxSmallFile) return std::nullopt;
                buffer_.resize(std::max<std::size_t>(16384, buffer_.size() * 2));
            }
            const std::size_t room = buffer_.size() - length;
            const ssize_t n = ::read(fd.get(), buffer_.data() + length, room);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return std::nullopt;
            length += static_cast<std::size_t>(n);
            if (n == 0 || (end == End::AtShortRead && static_cast<std::size_t>(n) < room))
                return std::string_view(buffer_.data(), length);
        }
    }

  private:
    std::string buffer_;
};

// The mount table's fields escape blanks, tabs, newlines and backslashes as \ooo.
std::string DecodeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const auto octal = [](char c) { return c >= '0' && c <= '7'; };
            if (octal(field[i + 1]) && octal(field[i + 2]) && octal(field[i + 3])) {
                out.push_back(static_cast<char>((field[i + 1] - '0') * 64 +
                                                (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

// Kernel and runtime file systems that never hold a user's deleted files; looking into
// them costs time and, for autofs, would trigger mounts. Network file systems stay: a
// trash there is real, though looking may block while the server is away.
bool IsPseudoFileSystem(std::string_view type) {
    static constexpr std::string_view kPseudo[] = {
        "proc",       "sysfs",    "cgroup",    "cgroup2",     "devpts",          "devtmpfs",
        "mqueue",     "debugfs",  "tracefs",   "securityfs",  "pstore",          "bpf",
        "autofs",     "fusectl",  "configfs",  "binfmt_misc", "hugetlbfs",       "nsfs",
        "rpc_pipefs", "efivarfs", "selinuxfs", "squashfs",    "fuse.gvfsd-fuse", "fuse.portal",
        "nfsd",
    };
    return std::find(std::begin(kPseudo), std::end(kPseudo), type) != std::end(kPseudo);
}

std::vector<std::string> MountedVolumeRoots() {
    std::vector<std::string> roots;
    SmallFileReader reader;
    UniqueFd proc(open("/proc/self", kDirFlags));
    // The kernel hands the table out in pieces: only a read of 0 ends it.
    const auto table =
        proc ? reader.Read(proc.get(), "mountinfo", SmallFileReader::End::AtZero) : std::nullopt;
    if (!table) {
        qCDebug(lcTrash) << "no mount table; only the home trash is read";
        return roots;
    }
    std::string_view rest = *table;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        // id parent major:minor root mount-point options [optional...] - type source super
        std::vector<std::string_view> fields;
        std::size_t i = 0;
        while (i < line.size()) {
            const std::size_t blank = std::min(line.find(' ', i), line.size());
            if (blank > i) fields.push_back(line.substr(i, blank - i));
            i = blank + 1;
        }
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || dash == fields.end() || dash + 1 == fields.end() ||
            dash - fields.begin() < 6)
            continue;
        if (IsPseudoFileSystem(*(dash + 1))) continue;
        std::string mountPoint = DecodeMountField(fields[4]);
        if (std::find(roots.begin(), roots.end(), mountPoint) == roots.end())
            roots.push_back(std::move(mountPoint));
    }
    return roots;
}

struct TrashDir {
    std::string path;
    std::string topdir;  // empty for the home trash
    FileId id;
};

FileId IdOf(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool Readable(const std::string& path) {
    if (access(path.c_str(), R_OK | X_OK) == 0) return true;
    qCDebug(lcTrash) << "skipping unreadable trash" << Printable(path);
    return false;
}

// lstat that tells "missing" (silently absent) from everything else.
bool LstatPresent(const std::string& path, struct stat& st) {
    if (lstat(path.c_str(), &st) == 0) return true;
    if (errno != ENOENT && errno != ENOTDIR)
        qCDebug(lcTrash) << "cannot look at" << Printable(path) << std::strerror(errno);
    return false;
}

bool OwnDirectory(const std::string& path, struct stat& st) {
    if (!LstatPresent(path, st)) return false;
    if (S_ISLNK(st.st_mode)) {
        qCDebug(lcTrash) << "skipping trash that is a symbolic link:" << Printable(path);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        qCDebug(lcTrash) << "skipping trash that is not a directory:" << Printable(path);
        return false;
    }
    if (st.st_uid != getuid()) {
        qCDebug(lcTrash) << "skipping trash owned by uid" << st.st_uid << ":" << Printable(path);
        return false;
    }
    return Readable(path);
}

std::vector<TrashDir> FindTrashDirs(const TrashRoots& roots) {
    std::vector<TrashDir> dirs;
    const auto add = [&dirs](std::string path, std::string topdir, const struct stat& st) {
        const FileId id = IdOf(st);
        for (const TrashDir& seen : dirs) {
            if (seen.id == id) return;
        }
        dirs.push_back(TrashDir{std::move(path), std::move(topdir), id});
    };

    struct stat st {};
    if (!roots.homeTrash.empty()) {
        std::string home = StripTrailingSlashes(roots.homeTrash);
        // Followed on purpose: people move the home trash elsewhere and leave a link.
        if (stat(home.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                qCDebug(lcTrash) << "skipping home trash that is not a directory:"
                                 << Printable(home);
            else if (Readable(home))
                add(std::move(home), {}, st);
        } else if (errno != ENOENT) {
            qCDebug(lcTrash) << "cannot look at" << Printable(home) << std::strerror(errno);
        }
    }

    const std::string uid = std::to_string(getuid());
    for (const std::string& root : roots.volumeRoots) {
        if (root.empty()) continue;
        const std::string topdir = StripTrailingSlashes(root);
        const std::string shared = JoinPath(topdir, ".Trash");
        if (LstatPresent(shared, st)) {
            if (S_ISLNK(st.st_mode))
                qCDebug(lcTrash) << "skipping shared trash that is a symbolic link:"
                                 << Printable(shared);
            else if (!S_ISDIR(st.st_mode))
                qCDebug(lcTrash) << "skipping shared trash that is not a directory:"
                                 << Printable(shared);
            else if ((st.st_mode & S_ISVTX) == 0)
                qCDebug(lcTrash) << "skipping shared trash without the sticky bit:"
                                 << Printable(shared);
            else if (std::string own = JoinPath(shared, uid); OwnDirectory(own, st))
                add(std::move(own), topdir, st);
        }
        if (std::string own = JoinPath(topdir, ".Trash-" + uid); OwnDirectory(own, st))
            add(std::move(own), topdir, st);
    }
    return dirs;
}

// The tree below parentFd/name, provided it is a directory on `device`.
std::uint64_t CountTreeSize(int parentFd, const char* name, dev_t device) {
    UniqueFd fd(openat(parentFd, name, kDirFlags | O_NOFOLLOW));
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0 || st.st_dev != device) return 0;
    return TreeSize(std::move(fd));
}

void ReadTrashDir(const TrashDir& trash, std::vector<TrashItem>& items) {
    // The home trash may be a link (checked when found); a volume trash never is.
    UniqueFd dirFd(open(trash.path.c_str(), kDirFlags | (trash.topdir.empty() ? 0 : O_NOFOLLOW)));
    struct stat st {};
    if (!dirFd || fstat(dirFd.get(), &st) != 0 || IdOf(st) != trash.id) {
        qCDebug(lcTrash) << "trash changed since it was checked:" << Printable(trash.path);
        return;
    }
    UniqueFd filesFd(openat(dirFd.get(), "files", kDirFlags | O_NOFOLLOW));
    if (!filesFd) {
        if (errno != ENOENT)
            qCDebug(lcTrash) << "cannot open files/ of" << Printable(trash.path)
                             << std::strerror(errno);
        return;
    }
    const UniqueFd infoFd(openat(dirFd.get(), "info", kDirFlags | O_NOFOLLOW));

    std::unordered_map<std::string, DirectorySizeEntry> cachedSizes;
    SmallFileReader reader;
    if (const auto sizes =
            reader.Read(dirFd.get(), "directorysizes", SmallFileReader::End::AtZero)) {
        for (DirectorySizeEntry& entry : ParseDirectorySizes(*sizes)) {
            std::string key = entry.name;
            cachedSizes.insert_or_assign(std::move(key), std::move(entry));
        }
    }

    DIR* dir = fdopendir(filesFd.get());
    if (dir == nullptr) return;
    filesFd.release();
    const int fd = dirfd(dir);
    const std::string filesPrefix = JoinPath(trash.path, "files/");
    std::string infoName;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile

        TrashItem item;
        item.entryName = name;
        item.storePath.reserve(filesPrefix.size() + item.entryName.size());
        item.storePath.append(filesPrefix).append(item.entryName);
        item.isDirectory = S_ISDIR(st.st_mode);
        item.isSymlink = S_ISLNK(st.st_mode);
        item.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
        item.id = IdOf(st);
        item.sizeBytes = item.isDirectory ? 0 : static_cast<std::uint64_t>(st.st_size);
        const dev_t device = st.st_dev;

        std::optional<std::string_view> infoText;
        struct stat infoSt {};
        if (infoFd) {
            infoName.assign(item.entryName).append(".trashinfo");
            // Only a folder needs the info's mtime, to match its cached size.
            infoText =
                reader.Read(infoFd.get(), infoName.c_str(), SmallFileReader::End::AtShortRead,
                            item.isDirectory ? &infoSt : nullptr);
        }
        const bool haveInfo = infoText.has_value();
        if (haveInfo) {
            TrashInfo info = ParseTrashInfo(*infoText);
            item.deletedAt = info.deletedAt;
            if (info.path && info.path->front() == '/')
                item.originalPath = NormalisedAbsolute(*info.path);
            else if (info.path && !trash.topdir.empty())
                item.originalPath = NormalisedAbsolute(JoinPath(trash.topdir, *info.path));
            // A relative Path in the home trash has nothing to be relative to.
        }

        if (item.isDirectory) {
            const auto cached = haveInfo ? cachedSizes.find(item.entryName) : cachedSizes.end();
            const std::int64_t infoSeconds = infoSt.st_mtim.tv_sec;
            const std::int64_t infoMillis = infoSeconds * 1000 + infoSt.st_mtim.tv_nsec / 1000000;
            if (cached != cachedSizes.end() &&
                DirectorySizeIsCurrent(cached->second, infoSeconds, infoMillis))
                item.sizeBytes = cached->second.sizeBytes;
            else
                item.sizeBytes = CountTreeSize(fd, name, device);
        }
        items.push_back(std::move(item));
    }
    closedir(dir);
}

std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view DisplayNameView(const TrashItem& item) {
    const std::string_view base = BaseName(item.originalPath);
    return base.empty() ? std::string_view(item.entryName) : base;
}

}  // namespace

TrashRoots DefaultTrashRoots() {
    TrashRoots roots;
    std::string dataHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/')
        dataHome = xdg;
    else if (std::string home = HomeDirectory(); !home.empty())
        dataHome = JoinPath(home, ".local/share");
    if (!dataHome.empty()) roots.homeTrash = JoinPath(StripTrailingSlashes(dataHome), "Trash");

    if (const char* list = std::getenv("VARNELO_VOLUME_ROOTS"); list != nullptr) {
        std::string_view rest = list;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view part = rest.substr(0, colon);
            if (!part.empty()) roots.volumeRoots.emplace_back(part);
            rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
        }
    } else {
        roots.volumeRoots = MountedVolumeRoots();
    }
    return roots;
}

std::vector<std::string> UsableTrashDirs(const TrashRoots& roots) {
    std::vector<std::string> paths;
    for (TrashDir& dir : FindTrashDirs(roots)) paths.push_back(std::move(dir.path));
    return paths;
}

TrashContents ReadTrash(const TrashRoots& roots) {
    TrashContents contents;
    std::vector<TrashItem> items;
    for (TrashDir& dir : FindTrashDirs(roots)) {
        ReadTrashDir(dir, items);
        contents.trashDirs.push_back(std::move(dir.path));
    }

    // Sorting indices keeps the views into the items valid.
    struct Key {
        bool isDirectory;
        std::string_view display;
        std::string_view entry;
        std::size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        keys.push_back(Key{items[i].isDirectory, DisplayNameView(items[i]), items[i].entryName, i});
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        if (a.isDirectory != b.isDirectory) return a.isDirectory;
        // The natural order is total: of two different names one is less, so a single
        // call decides. Sorting 100,000 names makes this count.
        if (a.display != b.display) return NaturalLess(a.display, b.display);
        if (a.entry != b.entry) return a.entry < b.entry;
        return a.index < b.index;
    });
    // The items move into that order in place, cycle by cycle: a sorted copy of them
    // raised the list's peak by 15 MB at 100,000 items. The views are not used again.
    for (std::size_t start = 0; start < keys.size(); ++start) {
        if (keys[start].index == start) continue;
        TrashItem held = std::move(items[start]);
        std::size_t at = start;
        for (;;) {
            const std::size_t from = std::exchange(keys[at].index, at);
            if (from == start) {
                items[at] = std::move(held);
                break;
            }
            items[at] = std::move(items[from]);
            at = from;
        }
    }
    contents.items = std::move(items);
    return contents;
}

std::string DisplayName(const TrashItem& item) { return std::string(DisplayNameView(item)); }

std::string OriginalFolder(const TrashItem& item) {
    const std::size_t slash = item.originalPath.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return item.originalPath.substr(0, slash);
}

}  // namespace varnelo
