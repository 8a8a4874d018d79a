// Times listing, totals, analysis and clearing of a synthetic trash beside trash-cli and
// rm, in a temporary home of its own. Prints figures; targets missed are reported, not
// failed.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/peers.h"
#include "bench/plain_rows.h"
#include "bench/synthetic_trash.h"
#include "core/errors.h"
#include "core/kill_item.h"
#include "core/natural_order.h"
#include "core/old_items_scan.h"
#include "core/size_text.h"
#include "platform/locale_text.h"
#include "platform/posix_file_system.h"
#include "platform/trash_reader.h"
#include "ui/main_window.h"
#include "ui/startup.h"
#include "ui/trash_list_view.h"

namespace varnelo::bench {

namespace {

namespace fs = std::filesystem;

constexpr const char* kRootVariable = "VARNELO_BENCH_ROOT";

// ---------------------------------------------------------------- the private home

// A temporary root holding the home, the trash and a file outside it that links in the
// trash point at. Everything that could lead a reader or a remover to the real home or
// trash points in here before anything reads the environment.
class BenchHome {
  public:
    BenchHome() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/varnelo-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = fs::canonical(pattern);
        fs::create_directories(Home() / ".local/share");
        fs::create_directories(root_ / "run");
        fs::permissions(root_ / "run", fs::perms::owner_all);
        fs::create_directories(root_ / "outside");
        std::ofstream(KeepTarget()) << "must survive every clear";

        setenv(kRootVariable, root_.c_str(), 1);
        setenv("HOME", Home().c_str(), 1);
        setenv("XDG_DATA_HOME", (Home() / ".local/share").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (Home() / ".config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (Home() / ".cache").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
        setenv("VARNELO_VOLUME_ROOTS", "", 1);
    }
    ~BenchHome() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    BenchHome(const BenchHome&) = delete;
    BenchHome& operator=(const BenchHome&) = delete;

    const fs::path& Root() const { return root_; }
    fs::path Home() const { return root_ / "home"; }
    fs::path Trash() const { return Home() / ".local/share/Trash"; }
    fs::path KeepTarget() const { return root_ / "outside/precious"; }

    // Ends the process unless path lies inside the root.
    void RequireInside(const fs::path& path) const {
        const fs::path rel = fs::absolute(path).lexically_normal().lexically_relative(root_);
        if (rel.empty() || *rel.begin() == ".." || *rel.begin() == ".") {
            std::fprintf(stderr, "refusing to work outside %s: %s\n", root_.c_str(), path.c_str());
            std::abort();
        }
    }

    // The trash as the program will find it: the only trash directory, inside the root.
    void RequireOnlyOurTrash(const std::vector<std::string>& trashDirs) const {
        if (trashDirs.size() != 1 || fs::path(trashDirs.front()) != Trash()) {
            std::fprintf(stderr, "the program sees other trash directories; stopping\n");
            std::abort();
        }
        RequireInside(trashDirs.front());
    }

    void RemoveTrash() const {
        RequireInside(Trash());
        fs::remove_all(Trash());
    }

  private:
    fs::path root_;
};

// ---------------------------------------------------------------- figures

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Wall time, and the processor time beside it: on a shared machine the wall time also
// holds waiting for others, the processor time only the work.
struct Sample {
    double wall = 0;
    double cpu = 0;  // user + system
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// For profiling one section alone: with VARNELO_BENCH_PERF_CONTROL=<control fifo>,<ack
// fifo> of "perf record -D -1 --control fifo:<control>,<ack>", perf records only the
// timed sections whose name holds VARNELO_BENCH_PERF_ONLY (all when it is unset).
class PerfControl {
  public:
    PerfControl() {
        const char* fifos = std::getenv("VARNELO_BENCH_PERF_CONTROL");
        if (fifos == nullptr) return;
        const std::string both = fifos;
        const std::size_t comma = both.find(',');
        control_ = open(both.substr(0, comma).c_str(), O_WRONLY | O_CLOEXEC);
        if (comma != std::string::npos)
            ack_ = open(both.substr(comma + 1).c_str(), O_RDONLY | O_CLOEXEC);
        if (const char* only = std::getenv("VARNELO_BENCH_PERF_ONLY")) only_ = only;
    }
    bool Wants(const char* section) const {
        return control_ >= 0 && std::string_view(section).find(only_) != std::string_view::npos;
    }
    void Send(const char* command) const {
        if (::write(control_, command, std::strlen(command)) < 0) return;
        char ack[16];
        if (ack_ >= 0 && ::read(ack_, ack, sizeof ack) < 0) return;
    }

  private:
    int control_ = -1;
    int ack_ = -1;
    std::string only_;
};

template <class F>
Sample Time(const char* section, F&& f) {
    static const PerfControl perf;
    const bool profiled = perf.Wants(section);
    if (profiled) perf.Send("enable\n");
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    f();
    const Sample sample{Seconds(start), CpuSeconds() - cpu};
    if (profiled) perf.Send("disable\n");
    return sample;
}

double MedianOf(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Figure {
    std::vector<double> runs;  // wall seconds
    std::vector<double> cpu;
    void Add(Sample s) {
        runs.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
    Sample Last() const { return {runs.back(), cpu.back()}; }
    double Median() const { return MedianOf(runs); }
    double CpuMedian() const { return MedianOf(cpu); }
    double Min() const { return runs.empty() ? 0 : *std::min_element(runs.begin(), runs.end()); }
    bool Empty() const { return runs.empty(); }
};

struct Results {
    int items = 0;
    BuiltTrash shape;
    Figure floor, coreFill, coreSum, coreScan, formFill, formSum, formShow, formSumShown, formScan,
        fillAndSum, trashList;
    Figure formClear, coreClear, rmClear, trashEmpty;
    long memoryBaselineKb = -1, memoryReaderKb = -1, memoryBuiltKb = -1, memoryListedKb = -1,
         memoryRssKb = -1;
    std::vector<std::string> problems;  // correctness, not speed
    std::vector<std::string> notes;
};

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength &&
            line[keyLength] == ':')
            return std::atol(line.c_str() + keyLength + 1);
    }
    return -1;
}

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// ---------------------------------------------------------------- our own walks

// The least any list must do: read every .trashinfo once and look at every entry of
// files/ once.
std::size_t ReadFloor(const std::string& trash) {
    const int trashFd = open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int filesFd = openat(trashFd, "files", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int infoFd = openat(trashFd, "info", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(trashFd);
    DIR* dir = fdopendir(filesFd);
    if (dir == nullptr || infoFd < 0) throw std::runtime_error("cannot open " + trash);
    std::size_t count = 0;
    std::string name;
    static char buffer[65536];
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.' &&
            (entry->d_name[1] == '\0' || (entry->d_name[1] == '.' && entry->d_name[2] == '\0')))
            continue;
        struct stat st {};
        fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW);
        name.assign(entry->d_name).append(".trashinfo");
        const int fd = openat(infoFd, name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            while (::read(fd, buffer, sizeof buffer) == ssize_t(sizeof buffer)) {
            }
            ::close(fd);
        }
        ++count;
    }
    closedir(dir);
    ::close(infoFd);
    return count;
}

// What RefreshSum does, over any rows.
std::int64_t SumKb(TrashRows& rows) {
    std::int64_t total = 0;
    const int n = rows.ItemCount();
    for (int i = 0; i < n; ++i) {
        rows.SelectRow(i);
        total += ParseSizeText(rows.ItemSizeText(i));
    }
    return total;
}

ActionResult KillSelected(FileSystem& fileSystem, const std::vector<std::string>& trashDirs,
                          const TrashRows& rows, Moment cutoff) {
    const KillTarget target{rows.SelectedStorePath(), rows.SelectedFileId()};
    switch (KillItem(fileSystem, trashDirs, target, cutoff)) {
        case KillResult::Removed:
            return ActionResult::Removed;
        case KillResult::AlreadyGone:
            return ActionResult::RemovedWithoutSize;
        case KillResult::NotRemoved:
            break;
    }
    return ActionResult::NotRemoved;
}

// Folders first, then by display name, every entry once.
bool InListOrder(const std::vector<TrashItem>& items) {
    std::vector<std::string_view> paths;
    for (std::size_t i = 0; i < items.size(); ++i) {
        paths.push_back(items[i].storePath);
        if (i == 0) continue;
        const TrashItem& a = items[i - 1];
        const TrashItem& b = items[i];
        if (a.isDirectory != b.isDirectory) {
            if (!a.isDirectory) return false;
            continue;
        }
        if (NaturalLess(DisplayName(b), DisplayName(a))) return false;
    }
    std::sort(paths.begin(), paths.end());
    return std::adjacent_find(paths.begin(), paths.end()) == paths.end();
}

std::size_t CountEntries(const fs::path& dir) {
    std::size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) ++n;
    return n;
}

std::size_t CountLines(const fs::path& file) {
    std::ifstream in(file);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

// Everything written so far reaches the disk, so that a timed removal does not also pay
// for writing back what was just created.
void SyncTrash(const fs::path& trash) {
    const int fd = open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        syncfs(fd);
        ::close(fd);
    }
}

std::string Count(long long n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

// ---------------------------------------------------------------- one size

struct Options {
    std::vector<int> sizes = {10000, 100000};
    int runs = 3;
    bool peers = true;
    bool list = true;
    bool clear = true;
};

class Suite {
  public:
    Suite(const BenchHome& home, int items, const Options& options)
        : home_(home),
          runs_(options.runs),
          peers_(options.peers),
          list_(options.list),
          clear_(options.clear) {
        results_.items = items;
        shape_.items = items;
        cutoff_ = CalcCutoff({.byDate = false, .daysText = std::to_string(kCutoffDays)}, Today());
    }

    Results Run() {
        Fresh();
        results_.shape = built_;
        if (list_) {
            Listing();
            Memory();
        }
        if (clear_) Clearing();
        home_.RemoveTrash();
        return results_;
    }

  private:
    void Problem(const std::string& what) { results_.problems.push_back(what); }

    void Expect(bool ok, const std::string& what) {
        if (!ok) Problem(what);
    }

    void Fresh() {
        home_.RemoveTrash();
        built_ = BuildTrash(home_.Trash().string(), shape_, Today(), home_.KeepTarget().string());
        SyncTrash(home_.Trash());
    }

    void CheckScan(const ScanResult& r, const char* what) {
        Expect(r.matchCount == built_.oldCount && r.matchSizeKb == built_.oldKb &&
                   r.notRemovedCount == 0 && r.skippedCount == 0,
               std::string(what) + ": matched " + Count(r.matchCount) + " items / " +
                   Count(r.matchSizeKb) + " KB, expected " + Count(built_.oldCount) + " / " +
                   Count(built_.oldKb) + " KB; not removed " + Count(r.notRemovedCount) +
                   ", skipped " + Count(r.skippedCount));
    }

    void CheckCleared(const char* what, bool cacheUpdated) {
        const std::size_t left = std::size_t(built_.itemCount - built_.oldCount);
        const std::size_t files = CountEntries(home_.Trash() / "files");
        const std::size_t infos = CountEntries(home_.Trash() / "info");
        Expect(files == left && infos == left,
               std::string(what) + ": " + Count(long(files)) + " entries and " +
                   Count(long(infos)) + " .trashinfo files left, expected " + Count(long(left)));
        std::ifstream keep(home_.KeepTarget());
        std::string content;
        std::getline(keep, content);
        Expect(content == "must survive every clear",
               std::string(what) + ": the file outside the trash was harmed");
        if (cacheUpdated) {
            const int left = built_.folderCount - built_.oldFolderCount;
            const std::size_t lines = CountLines(home_.Trash() / "directorysizes");
            Expect(lines == std::size_t(left), std::string(what) + ": directorysizes holds " +
                                                   Count(long(lines)) + " lines, expected " +
                                                   Count(left));
        }
    }

    void Listing() {
        // One untimed pass, so that every reader below finds the same warm caches.
        ReadFloor(home_.Trash());
        { TForm1 warm; }

        for (int run = 0; run < runs_; ++run) {
            std::size_t seen = 0;
            results_.floor.Add(Time("floor", [&] { seen = ReadFloor(home_.Trash()); }));
            Expect(seen == std::size_t(built_.itemCount), "read floor: wrong entry count");

            std::unique_ptr<PlainRows> rows;
            results_.coreFill.Add(Time("fill-core", [&] {
                rows = std::make_unique<PlainRows>(ReadTrash(DefaultTrashRoots()),
                                                   DeletedTextFormat());
            }));
            home_.RequireOnlyOurTrash(rows->Contents().trashDirs);
            std::int64_t total = 0;
            results_.coreSum.Add(Time("sum-core", [&] { total = SumKb(*rows); }));
            Expect(rows->ItemCount() == built_.itemCount && total == built_.totalKb,
                   "core list: " + Count(rows->ItemCount()) + " items / " + Count(total) +
                       " KB, expected " + Count(built_.itemCount) + " / " + Count(built_.totalKb) +
                       " KB");
            Expect(InListOrder(rows->Contents().items), "core list: not in list order");
            ScanResult scan;
            results_.coreScan.Add(Time("scan-core", [&] {
                scan = ScanOldItems(*rows, cutoff_, DeletedTextFormat(), {});
            }));
            CheckScan(scan, "core analysis");
            rows.reset();

            std::unique_ptr<TForm1> form;
            results_.formFill.Add(Time("fill-window", [&] { form = std::make_unique<TForm1>(); }));
            TrashListView& view = *form->ShellListView1;
            home_.RequireOnlyOurTrash(view.TrashDirs());
            const Sample sum = Time("sum-window", [&] { form->RefreshSum(); });
            results_.formSum.Add(sum);
            Expect(view.ItemCount() == built_.itemCount &&
                       form->lblTotal->text() ==
                           QString::number(built_.itemCount) + QString::fromUtf8("个"),
                   "window list: lblTotal shows " + form->lblTotal->text().toStdString());
            results_.formScan.Add(Time("scan-window", [&] {
                scan = ScanOldItems(view, cutoff_, view.Model()->Format(), {});
            }));
            CheckScan(scan, "window analysis");
            // Showing runs RefreshSum once more, now with a visible view, then paints.
            results_.formShow.Add(Time("show-window", [&] {
                form->show();
                QCoreApplication::processEvents();
            }));
            const Sample sumShown = Time("sum-shown", [&] {
                form->RefreshSum();
                QCoreApplication::processEvents();
            });
            results_.formSumShown.Add(sumShown);
            const Sample fill = results_.formFill.Last();
            const Sample slower = sum.wall > sumShown.wall ? sum : sumShown;
            results_.fillAndSum.Add({fill.wall + slower.wall, fill.cpu + slower.cpu});
            form.reset();

            if (peers_) TrashList();
        }
    }

    void TrashList() {
        static const auto command = ConfinedTrashList();
        if (!command) {
            Note("trash-list: trash-cli missing or of an unknown layout; not run");
            peers_ = false;
            return;
        }
        const ToolRun listed = RunTool(*command);
        Expect(listed.status == 0 && listed.lines == std::size_t(built_.itemCount),
               "trash-list: status " + std::to_string(listed.status) + ", " +
                   Count(long(listed.lines)) + " lines " + listed.firstError);
        results_.trashList.Add({listed.seconds, listed.cpuSeconds});
    }

    void Note(const std::string& what) {
        if (std::find(results_.notes.begin(), results_.notes.end(), what) == results_.notes.end())
            results_.notes.push_back(what);
    }

    // Each in a process of its own, so that nothing done before counts.
    void Memory() {
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        fs::remove(home_.Root() / "memory");
        for (const char* what : {"reader", "window"}) {
            const ToolRun probe = RunTool({self, "--memory-probe", what});
            Expect(probe.status == 0, std::string("memory probe failed: ") + probe.firstError);
        }
        std::ifstream in(home_.Root() / "memory");
        std::string key;
        for (long kb = 0; in >> key >> kb;) {
            if (key == "baseline") results_.memoryBaselineKb = kb;
            if (key == "reader") results_.memoryReaderKb = kb;
            if (key == "built") results_.memoryBuiltKb = kb;
            if (key == "shown") results_.memoryListedKb = kb;
            if (key == "resident") results_.memoryRssKb = kb;
        }
        Expect(results_.memoryListedKb > 0, "memory probe wrote no figures");
    }

    void Clearing() {
        for (int run = 0; run < runs_; ++run) {
            // The order turns with each run, so that drift in the machine spreads evenly.
            const std::function<void()> steps[] = {
                [&] { ClearThroughWindow(); },
                [&] { ClearThroughCore(); },
                [&] {
                    if (peers_) ClearWithRm();
                },
                [&] {
                    if (peers_) ClearWithTrashEmpty();
                },
            };
            for (int s = 0; s < 4; ++s) steps[(s + run) % 4]();
        }
    }

    void ClearThroughWindow() {
        Fresh();
        auto form = std::make_unique<TForm1>();
        TrashListView& view = *form->ShellListView1;
        home_.RequireOnlyOurTrash(view.TrashDirs());
        PosixFileSystem fileSystem;
        ScanResult result;
        results_.formClear.Add(Time("clear-window", [&] {
            result = ScanOldItems(view, cutoff_, view.Model()->Format(),
                                  [&] { return form->KillItem(fileSystem, cutoff_); });
        }));
        CheckScan(result, "window clear");
        CheckCleared("window clear", true);
    }

    void ClearThroughCore() {
        Fresh();
        PlainRows rows(ReadTrash(DefaultTrashRoots()), DeletedTextFormat());
        const std::vector<std::string> trashDirs = rows.Contents().trashDirs;
        home_.RequireOnlyOurTrash(trashDirs);
        PosixFileSystem fileSystem;
        ScanResult result;
        results_.coreClear.Add(Time("clear-core", [&] {
            result = ScanOldItems(rows, cutoff_, DeletedTextFormat(), [&] {
                return KillSelected(fileSystem, trashDirs, rows, cutoff_);
            });
        }));
        CheckScan(result, "core clear");
        CheckCleared("core clear", true);
    }

    void ClearWithRm() {
        Fresh();
        const fs::path list = home_.Root() / "old-items";
        for (const std::string& path : built_.oldPaths) home_.RequireInside(path);
        WriteNulList(list.string(), built_.oldPaths);
        const ToolRun removed = RunTool(RemoveListed(list.string()));
        Expect(removed.status == 0, "rm -rf: " + removed.firstError);
        results_.rmClear.Add({removed.seconds, removed.cpuSeconds});
        CheckCleared("rm -rf", false);
    }

    void ClearWithTrashEmpty() {
        static const auto command = ConfinedTrashEmpty(kCutoffDays);
        if (!command) {
            Note("trash-empty: trash-cli missing or of an unknown layout; not run");
            return;
        }
        Fresh();
        const ToolRun emptied = RunTool(*command);
        Expect(emptied.status == 0, "trash-empty: " + emptied.firstError);
        results_.trashEmpty.Add({emptied.seconds, emptied.cpuSeconds});
        CheckCleared("trash-empty", false);
    }

    const BenchHome& home_;
    const int runs_;
    bool peers_;
    const bool list_;
    const bool clear_;
    TrashShape shape_;
    BuiltTrash built_;
    Moment cutoff_{};
    Results results_;
};

// ---------------------------------------------------------------- the report

struct Line {
    std::string label;
    const Figure* figure;
    const Figure* peer = nullptr;
    std::string peerLabel = {};
    double limitRatio = 0;    // the target for figure / peer; 0: none
    bool lessThan = false;    // the target is "faster than", not "at most"
    double limitSeconds = 0;  // an absolute target; 0: none
};

std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%9.1f", seconds * 1000);
    return text;
}

void PrintSize(const Results& r, std::vector<std::string>& verdicts) {
    const BuiltTrash& s = r.shape;
    std::printf("\n== %s items: %s folders, %s files in all, %s old (%s KB of %s KB)\n",
                Count(s.itemCount).c_str(), Count(s.folderCount).c_str(),
                Count(s.fileCount).c_str(), Count(s.oldCount).c_str(), Count(s.oldKb).c_str(),
                Count(s.totalKb).c_str());
    std::printf("%-30s %10s %10s %10s   %-16s %7s %7s  %s\n", "figure", "median ms", "min ms",
                "cpu ms", "compared with", "ratio", "cpu", "target");

    const std::vector<Line> lines = {
        {"read floor", &r.floor},
        {"fill, TForm1", &r.formFill},
        {"RefreshSum, hidden", &r.formSum},
        {"show + paint (+RefreshSum)", &r.formShow},
        {"RefreshSum, shown", &r.formSumShown},
        {"fill + RefreshSum, TForm1", &r.fillAndSum, &r.floor, "read floor", 1.5},
        {"fill + RefreshSum, TForm1", &r.fillAndSum, &r.trashList, "trash-list", 0.25},
        {"fill, core (ReadTrash+rows)", &r.coreFill, &r.floor, "read floor"},
        {"sum, core rows", &r.coreSum},
        {"trash-list", &r.trashList},
        {"ScanOldItems, TForm1", &r.formScan, &r.formFill, "fill, TForm1", 0.2, false, 0.1},
        {"ScanOldItems, core rows", &r.coreScan, &r.coreFill, "fill, core"},
        {"clear, TForm1::KillItem", &r.formClear, &r.rmClear, "rm -rf", 1.3},
        {"clear, TForm1::KillItem", &r.formClear, &r.trashEmpty, "trash-empty", 1.0, true},
        {"clear, core KillItem", &r.coreClear, &r.rmClear, "rm -rf"},
        {"rm -rf (old items + infos)", &r.rmClear},
        {"trash-empty " + std::to_string(kCutoffDays), &r.trashEmpty},
    };
    for (const Line& line : lines) {
        if (line.figure->Empty()) continue;
        const double median = line.figure->Median();
        std::string compared, ratioText, cpuRatioText, target;
        bool met = true;
        bool judged = false;
        if (line.peer != nullptr && !line.peer->Empty() && line.peer->Median() > 0) {
            const double ratio = median / line.peer->Median();
            char text[32];
            std::snprintf(text, sizeof text, "x%.2f", ratio);
            compared = line.peerLabel;
            ratioText = text;
            if (line.peer->CpuMedian() > 0) {
                std::snprintf(text, sizeof text, "x%.2f",
                              line.figure->CpuMedian() / line.peer->CpuMedian());
                cpuRatioText = text;
            }
            if (line.limitRatio > 0) {
                judged = true;
                const bool ok = line.lessThan ? ratio < line.limitRatio : ratio <= line.limitRatio;
                met = met && ok;
                std::snprintf(text, sizeof text, "%s%.2f", line.lessThan ? "<x" : "<=x",
                              line.limitRatio);
                target = text;
            }
        }
        if (line.limitSeconds > 0) {
            judged = true;
            met = met && median <= line.limitSeconds;
            target += (target.empty() ? "" : ", ") + std::string("<=") +
                      Ms(line.limitSeconds).substr(4) + " ms";
        }
        if (judged) {
            target += met ? "  met" : "  NOT MET";
            if (s.itemCount >= 100000)
                verdicts.push_back(line.label + " vs " +
                                   (compared.empty() ? std::string("limit") : compared) + ": " +
                                   (met ? "met" : "NOT MET"));
        }
        std::printf("%-30s %10s %10s %10s   %-16s %7s %7s  %s\n", line.label.c_str(),
                    Ms(median).c_str(), Ms(line.figure->Min()).c_str(),
                    Ms(line.figure->CpuMedian()).c_str(), compared.c_str(), ratioText.c_str(),
                    cpuRatioText.c_str(), target.c_str());
    }
    if (r.memoryListedKb > 0) {
        const bool met = r.memoryListedKb <= 150 * 1024;
        std::printf("%-30s %7.1f MB peak (VmHWM)   target <=150 MB  %s\n", "memory, list on view",
                    r.memoryListedKb / 1024.0, met ? "met" : "NOT MET");
        std::printf(
            "%-30s %7.1f MB before listing, %.1f MB ReadTrash alone, %.1f MB once TForm1 "
            "is built, %.1f MB resident when shown\n",
            "  peaks along the way", r.memoryBaselineKb / 1024.0, r.memoryReaderKb / 1024.0,
            r.memoryBuiltKb / 1024.0, r.memoryRssKb / 1024.0);
        if (s.itemCount >= 100000)
            verdicts.push_back(std::string("peak memory: ") + (met ? "met" : "NOT MET"));
    }
    for (const std::string& note : r.notes) std::printf("note: %s\n", note.c_str());
    for (const std::string& problem : r.problems) std::printf("PROBLEM: %s\n", problem.c_str());
}

// ---------------------------------------------------------------- the memory probe

// Lists the trash the parent built, with the reader alone or the way the program starts,
// and appends the peaks to <root>/memory.
int MemoryProbe(int argc, char** argv) {
    const char* root = std::getenv(kRootVariable);
    const char* home = std::getenv("HOME");
    const char* volumes = std::getenv("VARNELO_VOLUME_ROOTS");
    if (argc < 3 || root == nullptr || home == nullptr || volumes == nullptr || *volumes != '\0' ||
        std::string_view(home).find(root) != 0)
        return 2;
    std::ofstream out(fs::path(root) / "memory", std::ios::app);
    QApplication app(argc, argv);
    SetUpApplication();
    if (std::strcmp(argv[2], "reader") == 0) {
        const TrashContents contents = ReadTrash(DefaultTrashRoots());
        out << "reader " << StatusKb("VmHWM") << '\n';
        return contents.items.empty() ? 1 : 0;
    }
    out << "baseline " << StatusKb("VmHWM") << '\n';
    TForm1 form;
    out << "built " << StatusKb("VmHWM") << '\n';
    form.show();
    QCoreApplication::processEvents();
    // Not ru_maxrss: Linux carries it over from the spawning process across exec.
    out << "shown " << StatusKb("VmHWM") << '\n';
    out << "resident " << StatusKb("VmRSS") << '\n';
    return 0;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--items" && i + 1 < argc) {
            options.sizes.clear();
            std::string list = argv[++i];
            for (std::size_t start = 0; start <= list.size();) {
                const std::size_t comma = std::min(list.find(',', start), list.size());
                const int n = std::atoi(list.substr(start, comma - start).c_str());
                if (n <= 0) return std::nullopt;
                options.sizes.push_back(n);
                start = comma + 1;
            }
        } else if (arg == "--runs" && i + 1 < argc) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--no-peers") {
            options.peers = false;
        } else if (arg == "--only" && i + 1 < argc) {
            const std::string what = argv[++i];
            if (what != "list" && what != "clear") return std::nullopt;
            options.list = what == "list";
            options.clear = what == "clear";
        } else {
            return std::nullopt;
        }
    }
    return options;
}

int Main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--memory-probe") == 0) return MemoryProbe(argc, argv);
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: %s [--items N[,N...]] [--runs R] [--no-peers] [--only list|clear]\n"
                     "  default: --items 10000,100000 --runs 3\n",
                     argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    BenchHome home;  // before anything reads HOME or the XDG variables
    QApplication app(argc, argv);
    SetUpApplication();

    std::printf("varnelo_bench: trash in %s, %d runs each, cutoff %d days\n", home.Trash().c_str(),
                options->runs, kCutoffDays);
    std::vector<Results> all;
    for (const int items : options->sizes) {
        std::fprintf(stderr, "-- %d items...\n", items);
        all.push_back(Suite(home, items, *options).Run());
    }
    std::vector<std::string> verdicts;
    bool problems = false;
    for (const Results& r : all) {
        PrintSize(r, verdicts);
        problems = problems || !r.problems.empty();
    }
    if (!verdicts.empty()) {
        std::printf("\ntargets at 100,000 items:\n");
        for (const std::string& v : verdicts) std::printf("  %s\n", v.c_str());
    }
    std::printf("peak memory of this process: %.1f MB\n", MaxRssKb() / 1024.0);
    // Missed targets are figures; a wrong count or harm outside the trash is a fault.
    return problems ? 1 : 0;
}

}  // namespace

}  // namespace varnelo::bench

int main(int argc, char** argv) {
    try {
        return varnelo::bench::Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "varnelo_bench: %s\n", e.what());
        return 1;
    }
}
