#include "platform/trash_reader.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/private_mounts.h"
#include "tests/support/sandbox.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using test::Sandbox;
using namespace std::string_literals;

Moment At(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return local_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s);
}

Moment LocalNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm* tm = std::localtime(&now);
    return At(tm->tm_year + 1900, static_cast<unsigned>(tm->tm_mon + 1),
              static_cast<unsigned>(tm->tm_mday), tm->tm_hour, tm->tm_min, tm->tm_sec);
}

std::string Info(const std::string& encodedPath, const std::string& date) {
    return "[Trash Info]\nPath=" + encodedPath + "\nDeletionDate=" + date + "\n";
}

const std::string kUid = std::to_string(getuid());

class TrashReaderTest : public ::testing::Test {
  protected:
    TrashRoots Roots(std::vector<std::string> volumes = {}) const {
        return TrashRoots{sandbox.homeTrash().string(), std::move(volumes)};
    }

    // An entry in files/ with the given .trashinfo text (none when info is empty).
    static void AddFile(const fs::path& trash, const std::string& name, const std::string& content,
                        const std::string& info) {
        Sandbox::WriteFile(trash / "files" / name, content);
        if (!info.empty()) Sandbox::WriteFile(trash / "info" / (name + ".trashinfo"), info);
    }

    static const TrashItem* Find(const TrashContents& contents, const std::string& entryName) {
        for (const TrashItem& item : contents.items) {
            if (item.entryName == entryName) return &item;
        }
        return nullptr;
    }

    static std::vector<std::string> EntryNames(const TrashContents& contents) {
        std::vector<std::string> names;
        for (const TrashItem& item : contents.items) names.push_back(item.entryName);
        return names;
    }

    Sandbox sandbox;
};

TEST_F(TrashReaderTest, DefaultRootsFollowTheEnvironment) {
    struct Case {
        const char* xdgDataHome;  // nullptr: unset
        std::string homeTrash;
    };
    const std::string home = sandbox.home().string();
    const Case cases[] = {
        {.xdgDataHome = "/data/me", .homeTrash = "/data/me/Trash"},
        {.xdgDataHome = "/data/me//", .homeTrash = "/data/me/Trash"},
        {.xdgDataHome = nullptr, .homeTrash = home + "/.local/share/Trash"},
        {.xdgDataHome = "", .homeTrash = home + "/.local/share/Trash"},
        {.xdgDataHome = "relative/data", .homeTrash = home + "/.local/share/Trash"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdgDataHome ? c.xdgDataHome : "(unset)");
        if (c.xdgDataHome)
            setenv("XDG_DATA_HOME", c.xdgDataHome, 1);
        else
            unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(DefaultTrashRoots().homeTrash, c.homeTrash);
    }

    setenv("VARNELO_VOLUME_ROOTS", "", 1);
    EXPECT_TRUE(DefaultTrashRoots().volumeRoots.empty());
    setenv("VARNELO_VOLUME_ROOTS", "/mnt/a::/mnt/b c:", 1);
    EXPECT_EQ(DefaultTrashRoots().volumeRoots, (std::vector<std::string>{"/mnt/a", "/mnt/b c"}));

    // Only the mount table is read here, no trash.
    unsetenv("VARNELO_VOLUME_ROOTS");
    const auto mounted = DefaultTrashRoots().volumeRoots;
    EXPECT_NE(std::find(mounted.begin(), mounted.end(), "/"), mounted.end());
    EXPECT_EQ(std::find(mounted.begin(), mounted.end(), "/proc"), mounted.end());
    EXPECT_EQ(std::find(mounted.begin(), mounted.end(), "/sys"), mounted.end());
    EXPECT_EQ(std::count(mounted.begin(), mounted.end(), "/"), 1);
}

TEST_F(TrashReaderTest, UsesOnlyVolumeTrashesThatPassTheChecks) {
    const fs::path vols = sandbox.root() / "vols";
    const auto dir = [](const fs::path& p, fs::perms perms) {
        fs::create_directories(p);
        fs::permissions(p, perms);
    };
    const fs::perms sticky = fs::perms::all | fs::perms::sticky_bit;
    // good: both kinds
    dir(vols / "good/.Trash" / kUid, fs::perms::owner_all);
    fs::permissions(vols / "good/.Trash", sticky);
    dir(vols / ("good/.Trash-" + kUid), fs::perms::owner_all);
    // shared trash without the sticky bit; its per-user trash is still fine
    dir(vols / "nosticky/.Trash" / kUid, fs::perms::owner_all);
    fs::permissions(vols / "nosticky/.Trash", fs::perms::all);
    dir(vols / ("nosticky/.Trash-" + kUid), fs::perms::owner_all);
    // shared trash that is a link to a proper one
    dir(sandbox.root() / "elsewhere/.Trash" / kUid, fs::perms::owner_all);
    fs::permissions(sandbox.root() / "elsewhere/.Trash", sticky);
    fs::create_directories(vols / "sharedlink");
    fs::create_directory_symlink(sandbox.root() / "elsewhere/.Trash", vols / "sharedlink/.Trash");
    // per-user trash that is a link, in both places
    dir(vols / "userlink/.Trash", sticky);
    fs::create_directory_symlink(sandbox.root() / "elsewhere/.Trash" / kUid,
                                 vols / "userlink/.Trash" / kUid);
    fs::create_directory_symlink(sandbox.root() / "elsewhere/.Trash" / kUid,
                                 vols / ("userlink/.Trash-" + kUid));
    // a file where the per-user trash belongs
    dir(vols / "file/.Trash", sticky);
    Sandbox::WriteFile(vols / "file/.Trash" / kUid, "x");
    Sandbox::WriteFile(vols / ("file/.Trash-" + kUid), "x");
    // nothing at all
    fs::create_directories(vols / "empty");

    const std::string v = vols.string();
    const std::vector<std::string> roots = {v + "/good",     v + "/nosticky", v + "/sharedlink",
                                            v + "/userlink", v + "/file",     v + "/empty",
                                            v + "/missing",  v + "/good/",    ""};
    const std::vector<std::string> expected = {
        sandbox.homeTrash().string(),
        v + "/good/.Trash/" + kUid,
        v + "/good/.Trash-" + kUid,
        v + "/nosticky/.Trash-" + kUid,
    };
    EXPECT_EQ(UsableTrashDirs(Roots(roots)), expected);
}

TEST_F(TrashReaderTest, SkipsTrashesOwnedBySomeoneElse) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a directory away";
    const fs::path vol = sandbox.root() / "vol";
    fs::create_directories(vol / ".Trash" / kUid);
    fs::permissions(vol / ".Trash", fs::perms::all | fs::perms::sticky_bit);
    fs::create_directories(vol / (".Trash-" + kUid));
    const uid_t nobody = 65534;
    ASSERT_EQ(chown((vol / ".Trash" / kUid).c_str(), nobody, nobody), 0);
    ASSERT_EQ(chown((vol / (".Trash-" + kUid)).c_str(), nobody, nobody), 0);
    EXPECT_EQ(UsableTrashDirs(Roots({vol.string()})),
              std::vector<std::string>{sandbox.homeTrash().string()});
}

TEST_F(TrashReaderTest, FollowsAHomeTrashThatWasMoved) {
    // Moved to where a volume trash belongs, so it is also found as one: listed once.
    const fs::path vol = sandbox.root() / "vol";
    const fs::path moved = vol / (".Trash-" + kUid);
    fs::remove_all(sandbox.homeTrash());
    AddFile(moved, "a.txt", "abc", Info("/x/a.txt", "2020-01-02T03:04:05"));
    fs::create_directory_symlink(moved, sandbox.homeTrash());

    const TrashContents contents = ReadTrash(Roots({vol.string()}));
    ASSERT_EQ(contents.trashDirs, std::vector<std::string>{sandbox.homeTrash().string()});
    ASSERT_EQ(contents.items.size(), 1u);
    EXPECT_EQ(contents.items[0].storePath, sandbox.homeTrash().string() + "/files/a.txt");
    EXPECT_EQ(contents.items[0].originalPath, "/x/a.txt");
}

TEST_F(TrashReaderTest, NoTrashDirectoryAtAll) {
    fs::remove_all(sandbox.homeTrash());
    const TrashContents contents = ReadTrash(Roots({(sandbox.root() / "nowhere").string()}));
    EXPECT_TRUE(contents.trashDirs.empty());
    EXPECT_TRUE(contents.items.empty());
}

TEST_F(TrashReaderTest, ListsEveryEntryOfFilesWhateverItsInfo) {
    const fs::path trash = sandbox.homeTrash();
    AddFile(trash, "plain.txt", std::string(1234, 'p'),
            Info("/home/u/My%20Docs/plain.txt", "2021-05-06T07:08:09"));
    AddFile(trash, "broken", "bb", "not an info file\n\0\xFF"s);
    AddFile(trash, "no-info", "n", "");
    Sandbox::WriteFile(trash / "info/orphan.trashinfo", Info("/x/orphan", "2021-01-01T00:00:00"));
    AddFile(trash, "caf\xE9", "c", Info("/home/u/caf%E9", "2021-01-01T00:00:00"));
    AddFile(trash, "relative", "r", Info("docs/relative", "2021-01-01T00:00:00"));
    AddFile(trash, "dotted", "d", Info("/home/u/./a//../dotted", "2021-01-01T00:00:00"));
    AddFile(trash, "bad-date", "d", Info("/home/u/bad-date", "2021-02-30T00:00:00"));
    // A FIFO or a folder where the .trashinfo belongs must not block or break the list.
    AddFile(trash, "fifo-info", "f", "");
    ASSERT_EQ(mkfifo((trash / "info/fifo-info.trashinfo").c_str(), 0600), 0);
    AddFile(trash, "dir-info", "f", "");
    fs::create_directories(trash / "info/dir-info.trashinfo");
    // Links are listed as links: their own size, never their target's.
    Sandbox::WriteFile(sandbox.root() / "big", std::string(100000, 'b'));
    fs::create_symlink(sandbox.root() / "big", trash / "files/link");
    fs::create_symlink(sandbox.root() / "gone", trash / "files/dangling");

    const TrashContents contents = ReadTrash(Roots());
    EXPECT_EQ(contents.trashDirs, std::vector<std::string>{trash.string()});
    std::vector<std::string> names = EntryNames(contents);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad-date", "broken", "caf\xE9", "dangling",
                                               "dir-info", "dotted", "fifo-info", "link", "no-info",
                                               "plain.txt", "relative"}));

    const TrashItem* plain = Find(contents, "plain.txt");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->storePath, trash.string() + "/files/plain.txt");
    EXPECT_EQ(plain->originalPath, "/home/u/My Docs/plain.txt");
    EXPECT_EQ(DisplayName(*plain), "plain.txt");
    EXPECT_EQ(OriginalFolder(*plain), "/home/u/My Docs");
    EXPECT_EQ(plain->deletedAt, At(2021, 5, 6, 7, 8, 9));
    EXPECT_EQ(plain->sizeBytes, 1234u);
    EXPECT_FALSE(plain->isDirectory);
    EXPECT_FALSE(plain->isSymlink);
    struct stat st {};
    ASSERT_EQ(lstat(plain->storePath.c_str(), &st), 0);
    EXPECT_EQ(plain->id, (FileId{st.st_dev, st.st_ino}));
    EXPECT_EQ(plain->modifiedSeconds, st.st_mtim.tv_sec);

    for (const char* name : {"broken", "no-info", "fifo-info", "dir-info", "relative"}) {
        SCOPED_TRACE(name);
        const TrashItem* item = Find(contents, name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->originalPath, "");
        EXPECT_EQ(DisplayName(*item), name);
        EXPECT_EQ(OriginalFolder(*item), "");
        if (std::string(name) != "relative") {
            EXPECT_FALSE(item->deletedAt);
        }
    }
    EXPECT_FALSE(Find(contents, "bad-date")->deletedAt);
    EXPECT_EQ(Find(contents, "bad-date")->originalPath, "/home/u/bad-date");

    const TrashItem* cafe = Find(contents, "caf\xE9");
    EXPECT_EQ(cafe->storePath, trash.string() + "/files/caf\xE9");
    EXPECT_EQ(cafe->originalPath, "/home/u/caf\xE9");
    EXPECT_EQ(Find(contents, "dotted")->originalPath, "/home/u/dotted");

    const TrashItem* link = Find(contents, "link");
    EXPECT_TRUE(link->isSymlink);
    EXPECT_FALSE(link->isDirectory);
    EXPECT_EQ(link->sizeBytes, (sandbox.root() / "big").string().size());
    EXPECT_TRUE(Find(contents, "dangling")->isSymlink);
}

TEST_F(TrashReaderTest, ToleratesMissingInfoAndFilesFolders) {
    const fs::path trash = sandbox.homeTrash();
    Sandbox::WriteFile(trash / "files/lonely", "abc");
    TrashContents contents = ReadTrash(Roots());
    ASSERT_EQ(contents.items.size(), 1u);
    EXPECT_FALSE(contents.items[0].deletedAt);
    EXPECT_EQ(contents.items[0].sizeBytes, 3u);

    fs::remove_all(trash / "files");
    Sandbox::WriteFile(trash / "info/x.trashinfo", Info("/x", "2021-01-01T00:00:00"));
    contents = ReadTrash(Roots());
    EXPECT_EQ(contents.trashDirs, std::vector<std::string>{trash.string()});
    EXPECT_TRUE(contents.items.empty());
}

TEST_F(TrashReaderTest, FolderSizeCountsTheTreeWithoutFollowingLinks) {
    const fs::path trash = sandbox.homeTrash();
    const fs::path tree = trash / "files/project";
    Sandbox::WriteFile(tree / "a", std::string(100, 'a'));
    Sandbox::WriteFile(tree / "sub/b", std::string(20, 'b'));
    Sandbox::WriteFile(tree / "sub/deeper/c", std::string(3, 'c'));
    fs::create_directories(tree / "empty");
    Sandbox::WriteFile(sandbox.root() / "outside/huge", std::string(50000, 'h'));
    fs::create_directory_symlink(sandbox.root() / "outside", tree / "sub/to-outside");
    Sandbox::WriteFile(trash / "info/project.trashinfo", Info("/w/project", "2021-01-01T00:00:00"));

    const TrashContents contents = ReadTrash(Roots());
    ASSERT_EQ(contents.items.size(), 1u);
    const TrashItem& item = contents.items[0];
    EXPECT_TRUE(item.isDirectory);
    EXPECT_FALSE(item.isSymlink);
    const std::uint64_t linkSize = (sandbox.root() / "outside").string().size();
    EXPECT_EQ(item.sizeBytes, 100u + 20u + 3u + linkSize);
}

TEST_F(TrashReaderTest, FolderSizeComesFromTheCacheOnlyWhileCurrent) {
    const fs::path trash = sandbox.homeTrash();
    const timespec infoTime{1700000000, 456000000};
    const auto folder = [&](const std::string& name, bool withInfo) {
        Sandbox::WriteFile(trash / "files" / name / "content", std::string(10, 'x'));
        if (!withInfo) return;
        const fs::path info = trash / "info" / (name + ".trashinfo");
        Sandbox::WriteFile(info, Info("/w/" + name, "2021-01-01T00:00:00"));
        const timespec times[2] = {infoTime, infoTime};
        ASSERT_EQ(utimensat(AT_FDCWD, info.c_str(), times, 0), 0);
    };
    folder("seconds", true);
    folder("millis", true);
    folder("stale", true);
    folder("with blank", true);
    folder("no-info", false);
    folder("uncached", true);
    Sandbox::WriteFile(trash / "directorysizes",
                       "777 1700000000 seconds\n"
                       "888 1700000000456 millis\n"
                       "999 1699999999 stale\n"
                       "555 1700000000 with%20blank\n"
                       "666 1700000000 no-info\n");

    const TrashContents contents = ReadTrash(Roots());
    struct Case {
        const char* name;
        std::uint64_t size;
    };
    const Case cases[] = {
        {.name = "seconds", .size = 777}, {.name = "millis", .size = 888},
        {.name = "stale", .size = 10},    {.name = "with blank", .size = 555},
        {.name = "no-info", .size = 10},  {.name = "uncached", .size = 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TrashItem* item = Find(contents, c.name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->sizeBytes, c.size);
    }
}

TEST_F(TrashReaderTest, SortsFoldersFirstThenNamesNaturally) {
    const fs::path trash = sandbox.homeTrash();
    const std::string date = "2021-01-01T00:00:00";
    // Entry names deliberately disagree with the display names.
    AddFile(trash, "e1", "", Info("/p/report10.txt", date));
    AddFile(trash, "e2", "", Info("/p/report2.txt", date));
    AddFile(trash, "e3", "", Info("/q/Report3.txt", date));
    AddFile(trash, "same.2", "", Info("/p/same", date));
    AddFile(trash, "same.10", "", Info("/q/same", date));
    AddFile(trash, "report1.txt", "", "");
    for (const char* dir : {"z-folder", "folder10", "folder9"}) {
        fs::create_directories(trash / "files" / dir);
        Sandbox::WriteFile(trash / "info" / (std::string(dir) + ".trashinfo"),
                           Info(std::string("/d/") + dir, date));
    }

    const TrashContents contents = ReadTrash(Roots());
    EXPECT_EQ(EntryNames(contents),
              (std::vector<std::string>{"folder9", "folder10", "z-folder", "e3", "report1.txt",
                                        "e2", "e1", "same.10", "same.2"}));
}

TEST_F(TrashReaderTest, ReadsVolumeTrashesWithPathsRelativeToTheirTop) {
    const fs::path vol = sandbox.root() / "vol";
    const fs::path shared = vol / ".Trash" / kUid;
    const fs::path own = vol / (".Trash-" + kUid);
    fs::create_directories(shared);
    fs::permissions(vol / ".Trash", fs::perms::all | fs::perms::sticky_bit);
    AddFile(shared, "rel", "12", Info("photos/rel.jpg", "2022-03-04T05:06:07"));
    AddFile(own, "abs", "123", Info("/elsewhere/abs", "2022-03-04T05:06:07"));
    AddFile(own, "climb", "1", Info("../../../etc/climb", "2022-03-04T05:06:07"));
    AddFile(sandbox.homeTrash(), "home", "1", Info("/h/home", "2022-03-04T05:06:07"));

    const TrashContents contents = ReadTrash(Roots({vol.string()}));
    EXPECT_EQ(contents.trashDirs, (std::vector<std::string>{sandbox.homeTrash().string(),
                                                            shared.string(), own.string()}));
    ASSERT_EQ(contents.items.size(), 4u);
    const TrashItem* rel = Find(contents, "rel");
    ASSERT_NE(rel, nullptr);
    EXPECT_EQ(rel->originalPath, vol.string() + "/photos/rel.jpg");
    EXPECT_EQ(OriginalFolder(*rel), vol.string() + "/photos");
    EXPECT_EQ(rel->storePath, shared.string() + "/files/rel");
    EXPECT_EQ(rel->deletedAt, At(2022, 3, 4, 5, 6, 7));
    EXPECT_EQ(Find(contents, "abs")->originalPath, "/elsewhere/abs");
    EXPECT_EQ(Find(contents, "abs")->storePath, own.string() + "/files/abs");
    EXPECT_EQ(Find(contents, "climb")->originalPath, "/etc/climb");
}

constexpr std::uint64_t kDeepFileSize = 7;

// Builds top/d/d/.../d with one small file every 10,000 levels and at the bottom; gives
// the number of levels made. The path is far beyond PATH_MAX, so the tree is built (and
// removed) through directory descriptors.
int BuildDeepTree(const fs::path& top, int depth) {
    const auto writeFile = [](int dirFd) {
        const int f = openat(dirFd, "f", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (f < 0) return;
        if (write(f, "1234567", kDeepFileSize) < 0) std::perror("write");
        close(f);
    };
    fs::create_directories(top);
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
    int built = 0;
    for (; built < depth && fd >= 0; ++built) {
        if (built % 10000 == 0) writeFile(fd);
        mkdirat(fd, "d", 0700);
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    if (fd < 0) return built - 1;
    writeFile(fd);
    close(fd);
    return built;
}

void RemoveDeepTree(const Sandbox& sandbox, const fs::path& top) {
    sandbox.RequireInside(top);
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    int reached = 0;
    while (fd >= 0) {
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (next < 0) break;
        close(fd);
        fd = next;
        ++reached;
    }
    for (; fd >= 0; --reached) {
        unlinkat(fd, "f", 0);
        if (reached == 0) break;
        const int up = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = up;
        if (fd >= 0) unlinkat(fd, "d", AT_REMOVEDIR);
    }
    if (fd >= 0) close(fd);
}

// Far fewer descriptors than levels: one open directory per level would run out.
TrashContents ReadWithFewDescriptors(const TrashRoots& roots) {
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 64);
    setrlimit(RLIMIT_NOFILE, &low);
    TrashContents contents = ReadTrash(roots);
    setrlimit(RLIMIT_NOFILE, &saved);
    return contents;
}

std::string DescribeDeepRead(const TrashContents& contents) {
    std::string text = std::to_string(contents.items.size()) + " items";
    if (!contents.items.empty())
        text += ", " + std::to_string(contents.items[0].sizeBytes) + " bytes";
    return text;
}

TEST_F(TrashReaderTest, CountsATreeDeeperThanStackAndDescriptorsAllow) {
    const int depth = 100000;
    const std::string expected =
        "1 items, " + std::to_string((depth / 10000 + 1) * kDeepFileSize) + " bytes";
    const fs::path trash = sandbox.homeTrash();
    // On a journaling disk, making and removing 100,000 directories takes most of a
    // minute; on a private tmpfs the tree costs little and vanishes with the child.
    const auto onTmpfs = test::InPrivateMounts([&]() -> std::string {
        if (mount("varnelo-test", trash.c_str(), "tmpfs", 0, "mode=0700") != 0) return "no tmpfs";
        if (BuildDeepTree(trash / "files/deep", depth) != depth) return "not built";
        return DescribeDeepRead(ReadWithFewDescriptors(Roots()));
    });
    if (onTmpfs && *onTmpfs != "no tmpfs") {
        EXPECT_EQ(*onTmpfs, expected);
        return;
    }
    const fs::path top = trash / "files/deep";
    const int built = BuildDeepTree(top, depth);
    const std::string read = DescribeDeepRead(ReadWithFewDescriptors(Roots()));
    RemoveDeepTree(sandbox, top);
    ASSERT_EQ(built, depth);
    EXPECT_EQ(read, expected);
}

TEST_F(TrashReaderTest, MountTableGivesRealFileSystemsWithTheirNamesDecoded) {
    const fs::path spaced = sandbox.root() / "vol with\ttab and\\back slash";
    const fs::path pseudo = sandbox.root() / "pseudo";
    const auto found = test::InPrivateMounts([&]() -> std::string {
        fs::create_directories(spaced);
        fs::create_directories(pseudo);
        if (mount("varnelo-test", spaced.c_str(), "tmpfs", 0, nullptr) != 0 ||
            mount("varnelo-test", pseudo.c_str(), "mqueue", 0, nullptr) != 0)
            return "cannot mount";
        unsetenv("VARNELO_VOLUME_ROOTS");
        std::string text;
        for (const std::string& root : DefaultTrashRoots().volumeRoots) {
            if (root.rfind(sandbox.root().string(), 0) == 0) text += root + "\n";
        }
        return text;
    });
    if (!found || *found == "cannot mount") GTEST_SKIP() << "cannot mount here";
    EXPECT_EQ(*found, spaced.string() + "\n");
}

// Runs a program with the sandbox's environment; its exit status, or -1.
int RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Keep a desktop session's services out of it: the local file is trashed directly.
        setenv("GIO_USE_VFS", "local", 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool HaveProgram(const std::string& name) {
    return RunProgram({"sh", "-c", "command -v " + name + " >/dev/null"}) == 0;
}

struct Peer {
    const char* name;
    std::vector<std::string> command;  // the paths to trash are appended
};

void PrintTo(const Peer& peer, std::ostream* out) { *out << peer.name; }

class TrashedByPeerTest : public TrashReaderTest, public ::testing::WithParamInterface<Peer> {};

TEST_P(TrashedByPeerTest, ListsWhatTheyTrashed) {
    const Peer& peer = GetParam();
    if (!HaveProgram(peer.command[0])) GTEST_SKIP() << peer.command[0] << " is not installed";
    const fs::path work = sandbox.root() / "work dir";
    Sandbox::WriteFile(work / "report 10.txt", std::string(1234, 'r'));
    Sandbox::WriteFile(work / "report2.txt", std::string(5, 'r'));
    Sandbox::WriteFile(work / "photos/a.jpg", std::string(300, 'a'));
    Sandbox::WriteFile(work / "photos/raw/b.raw", std::string(4000, 'b'));
    fs::create_symlink("a.jpg", work / "photos/link");

    const Moment before = LocalNow();
    std::vector<std::string> command = peer.command;
    for (const char* name : {"report 10.txt", "report2.txt", "photos"})
        command.push_back((work / name).string());
    ASSERT_EQ(RunProgram(command), 0);
    const Moment after = LocalNow();
    ASSERT_FALSE(fs::exists(work / "photos"));
    ASSERT_TRUE(fs::exists(sandbox.homeTrash() / "files/photos"));

    const TrashContents contents = ReadTrash(Roots());
    ASSERT_EQ(contents.items.size(), 3u);
    struct Expected {
        std::string name;
        std::uint64_t size;
        bool isDirectory;
    };
    const Expected expected[] = {
        {.name = "photos", .size = 300 + 4000 + std::string("a.jpg").size(), .isDirectory = true},
        {.name = "report 10.txt", .size = 1234, .isDirectory = false},  // ' ' is below digits
        {.name = "report2.txt", .size = 5, .isDirectory = false},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        const TrashItem& item = contents.items[i];
        EXPECT_EQ(DisplayName(item), expected[i].name);
        EXPECT_EQ(OriginalFolder(item), work.string());
        EXPECT_EQ(item.storePath, sandbox.homeTrash().string() + "/files/" + item.entryName);
        EXPECT_EQ(item.sizeBytes, expected[i].size);
        EXPECT_EQ(item.isDirectory, expected[i].isDirectory);
        ASSERT_TRUE(item.deletedAt);
        EXPECT_GE(*item.deletedAt, before);
        EXPECT_LE(*item.deletedAt, after);
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, TrashedByPeerTest,
                         ::testing::Values(Peer{"trash_put", {"trash-put"}},
                                           Peer{"gio", {"gio", "trash"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnelo
