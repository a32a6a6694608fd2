// Scans a directory with the real scanner and prints one JSON line per run:
//   sizewalk-bench [--repeat N] [--threads N] [--cold] [--digest] [--progress]
//                  [--stop-after S] [--fill] [--files] [--units mb|kb|bytes]
//                  [--redraw] [--sort size|name] [--on-disk]
//                  [--cancel-after SECONDS] [--treemap WxH] [--top N]
//                  [--find PATTERN] [--types] [--compare FILE] PATH
// --top and --find time the lists beside the tree (see find_bench.h).
// bytes_per_entry is the growth of resident memory across the scan (taken
// against the process before its first scan), divided by the entries kept;
// peak_bytes_per_entry is the same for the peak during the scan.
//
// --threads sets the scanner's thread count (default: the program's).
// --cold syncs and drops the page cache before each run, as a user's first
// scan finds it (needs root). --digest adds list_sha256, the SHA-256 of the
// whole list in order: per entry the depth key in decimal, TAB, D or F, TAB,
// the size in decimal (a directory's total, any other entry's own size),
// TAB, the name bytes, NUL. --progress watches the scan as the window does:
// a second thread takes a progress snapshot five times a second.
// --stop-after S asks the scan to stop S seconds in and adds
// stop_latency_seconds, the time from the request until Scan returned.
//
// --fill runs the scan command's tree fill into the dialog's real tree model
// (no display needed) after each scan and adds fill_seconds,
// model_bytes_per_item (what the model holds per item, from its own
// accounting; model_rss_bytes_per_item is the resident growth across the
// fill) and widest_expand_seconds: the first look at the children of the
// widest directory, every child's row, parent and label, as a view expanding
// it asks; widest_view_expand_seconds is the same in the real dialog,
// offscreen: a fresh fill, its ancestors opened, then the widest directory
// expanded and painted. --redraw then presses OK again with the same path through the
// command (no scan) and adds redraw_seconds. --files shows files, --units
// picks the label unit (default mb).
//
// disk_bytes is the start entry's total on disk. --sort shows the tree in
// that order and --on-disk shows sizes on disk; with --fill each adds what
// switching to it costs a user, from the other order or from apparent sizes,
// with the widest directory open with its ancestors: sort_seconds and
// size_mode_seconds for the model (the switch, then every row of the open
// parents laid out again), sort_view_seconds and size_mode_view_seconds for
// the real dialog offscreen (the switch and the repaint).
//
// --treemap WxH lays out and renders the treemap of the whole scan (every
// file a tile, in the size on show) at WxH pixels and adds
// treemap_layout_seconds, treemap_render_seconds, treemap_labels_seconds
// and treemap_labels (the folders' name boxes at 16 pixels a line), and
// treemap_layout_bytes_per_entry (what the layout keeps per entry).
//
// --types counts the files by kind and type (File Types) in the size on
// show, sorted by size, and adds types_seconds and types_rows.
//
// --compare FILE reads the saved scan FILE (untimed) after each scan and
// compares the scan with it, as the window and sizewalk-scan --compare do:
// compare_seconds, compare_bytes_per_entry (what the comparison keeps, from
// its own accounting, per entry of the scan), compare_new and compare_gone.
//
// --cancel-after runs one background scan through the dialog's command
// instead, presses Cancel after SECONDS and prints cancel_seconds: from the
// press until the command is idle again (worker joined, tree emptied).

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTreeView>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/command_partners.h"
#include "bench/find_bench.h"
#include "bench/sha256.h"
#include "core/command_line.h"
#include "core/live_scan_command.h"
#include "core/scan_command.h"
#include "model/file_types.h"
#include "model/list_treemap_input.h"
#include "model/scan_compare.h"
#include "model/treemap_labels.h"
#include "model/treemap_layout.h"
#include "model/treemap_render.h"
#include "platform/find_record.h"
#include "scan/dir_scanner.h"
#include "scan/scan_file_list.h"
#include "scan/scan_file_path.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/tree_model.h"

namespace {

long long ResidentBytes() {
    long long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lld %lld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

long long PeakResidentBytes() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<long long>(ru.ru_maxrss) * 1024;
}

// CPU time of the whole process (user and system), in seconds.
double CpuSeconds() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// JSON string body: names are bytes, so anything outside printable ASCII is
// escaped byte by byte rather than trusted to be UTF-8.
std::string JsonEscape(const char* s) {
    std::string out;
    for (; *s; ++s) {
        const auto c = static_cast<unsigned char>(*s);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// What the command line asks for.
struct BenchOptions {
    int repeat = 1;
    int threads = sizewalk::CDirScanner::DefaultThreadCount();
    bool cold = false, digest = false, watch = false;
    double stopAfter = -1;
    bool fill = false, files = false, redraw = false;
    sizewalk::Units units = sizewalk::Units::MB;
    std::optional<sizewalk::SortOrder> sort;
    bool onDisk = false;
    double cancelAfter = -1;
    std::string exportFile, importFile, compareFile;  // empty: none
    int treemapWidth = 0, treemapHeight = 0;
    sizewalk::bench::ListTimings lists;
    bool types = false;
    std::string path;
};

// "WxH", each side from 1 to the treemap's largest.
bool ReadTreemapSize(const std::string& value, int& width, int& height) {
    char tail = 0;
    int w = 0, h = 0;
    if (std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 ||
        w > sizewalk::kMaxTreemapSide || h > sizewalk::kMaxTreemapSide)
        return false;
    width = w;
    height = h;
    return true;
}

sizewalk::CCommandLine Declare(BenchOptions& o) {
    using sizewalk::SortOrder;
    using sizewalk::Units;
    sizewalk::CCommandLine options;
    options.Integer("--repeat", "N", o.repeat, 1, std::numeric_limits<int>::max())
        .Integer("--threads", "N", o.threads, 1, 1024)
        .Flag("--cold", o.cold)
        .Flag("--digest", o.digest)
        .Flag("--progress", o.watch)
        .Decimal("--stop-after", "S", o.stopAfter, 0)
        .Flag("--fill", o.fill)
        .Flag("--files", o.files)
        .Choice("--units", "mb|kb|bytes", o.units,
                std::vector<std::pair<std::string, Units>>{
                    {"mb", Units::MB}, {"kb", Units::KB}, {"bytes", Units::Bytes}})
        .Flag("--redraw", o.redraw)
        .Choice("--sort", "size|name", o.sort,
                std::vector<std::pair<std::string, SortOrder>>{{"size", SortOrder::Size},
                                                               {"name", SortOrder::Name}})
        .Flag("--on-disk", o.onDisk)
        .Decimal("--cancel-after", "SECONDS", o.cancelAfter, 0)
        .Text("--export", "FILE", o.exportFile)
        .Text("--import", "FILE", o.importFile)
        .Text("--compare", "FILE", o.compareFile)
        .Value("--treemap", "WxH",
               [&o](const std::string& value) {
                   return ReadTreemapSize(value, o.treemapWidth, o.treemapHeight);
               })
        .Flag("--types", o.types);
    sizewalk::bench::DeclareListTimings(options, o.lists);
    return options;
}

// Any fault in the arguments: the usage, and exit status 2.
bool ParseArguments(const std::vector<std::string>& args, BenchOptions& o) {
    const sizewalk::CCommandLine options = Declare(o);
    const sizewalk::CCommandLine::Result parsed = options.Parse(args);
    if (parsed && parsed.positional.size() <= 1) {
        if (!parsed.positional.empty()) o.path = parsed.positional.front();
        if (!o.path.empty() || !o.importFile.empty()) {
            o.fill = o.fill || o.redraw;
            return true;
        }
    }
    std::fprintf(stderr, "usage: sizewalk-bench %s PATH\ndefault threads: %d\n",
                 options.Synopsis().c_str(), sizewalk::CDirScanner::DefaultThreadCount());
    return false;
}

// Empties the page cache, so that the scan reads the disk; says so where it
// cannot.
bool DropCaches() {
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3";
    drop.close();
    if (drop.good()) return true;
    std::fprintf(stderr,
                 "sizewalk-bench: --cold: cannot drop the page cache "
                 "(writing /proc/sys/vm/drop_caches needs root)\n");
    return false;
}

// Starts the peak resident size ("VmHWM") afresh from the current size.
void ResetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

long long PeakResidentSinceReset() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    return 0;
}

std::string ListDigest(sizewalk::CDirScanner& scanner) {
    sizewalk::bench::Sha256 sha;
    std::string line;
    char number[64];
    for (std::size_t i = 0; i < scanner.GetCount(); ++i) {
        const sizewalk::CScanEntry& e = scanner.GetAt(i);
        const bool dir = e.IsDirectory() != 0;
        std::snprintf(number, sizeof number, "%d\t%c\t%llu\t", e.m_nDepth, dir ? 'D' : 'F',
                      static_cast<unsigned long long>(e.m_nSize));
        line.assign(number);
        line.append(e.GetName());
        line.push_back('\0');
        sha.Update(line.data(), line.size());
    }
    return sha.HexDigest();
}

// Takes a progress snapshot five times a second while a scan runs, as the
// window does.
class ProgressWatcher {
public:
    explicit ProgressWatcher(sizewalk::CScanProgress& progress)
        : m_progress(progress), m_thread([this] { Run(); }) {}
    ~ProgressWatcher() {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_bDone = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    std::uint64_t Snapshots() const { return m_nSnapshots; }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_bDone; })) {
            if (!m_progress.GetSnapshot().strDir.empty()) ++m_nSnapshots;
        }
    }

    sizewalk::CScanProgress& m_progress;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_bDone = false;
    std::atomic<std::uint64_t> m_nSnapshots{0};
    std::thread m_thread;
};

using sizewalk::bench::NoCursor;
using sizewalk::bench::SilentMessages;

// The directory with the most children shown.
sizewalk::CScanTree::Item Widest(const sizewalk::CScanTree& tree, std::size_t& children) {
    sizewalk::CScanTree::Item best = sizewalk::CScanTree::kNoItem;
    children = 0;
    for (const sizewalk::CScanList::DirRecord& d : tree.List().Dirs()) {
        const std::size_t n = tree.ChildCount(d.nEntry);
        if (best == sizewalk::CScanTree::kNoItem || n > children) {
            best = d.nEntry;
            children = n;
        }
    }
    return best;
}

// Fills the real dialog's tree, opens the widest directory's ancestors, then
// times expanding and painting the widest directory itself.
double ViewExpandSeconds(const sizewalk::CScanList& list, sizewalk::Units units, bool files,
                         sizewalk::CScanTree::Item widest) {
    sizewalk::CSizewalkDlg dlg;
    dlg.show();
    QApplication::processEvents();
    sizewalk::CTreeModel& model = dlg.GetTreeModel();
    sizewalk::FillTree(list, units, files ? sizewalk::Files::Shown : sizewalk::Files::Hidden,
                       model);
    auto* view = static_cast<QTreeView*>(dlg.GetDlgItem(sizewalk::IDC_TREE));
    const QModelIndex target = model.IndexOfItem(widest);
    for (QModelIndex up = target.parent(); up.isValid(); up = up.parent()) view->expand(up);
    view->repaint();
    QApplication::processEvents();
    const auto t0 = std::chrono::steady_clock::now();
    view->expand(target);
    QApplication::processEvents();
    view->repaint();
    return Seconds(t0);
}

using ModelChange = std::function<void(sizewalk::CTreeModel&)>;

// The model's part of a switch: the widest directory and its ancestors open
// (held by persistent indexes, as a view holds them) and their rows shown;
// then the switch, and every row of the open parents again, index, parent
// and label, as a view lays them out anew.
double ModelSwitchSeconds(sizewalk::CTreeModel& model, sizewalk::CScanTree::Item widest,
                          const ModelChange& from, const ModelChange& to) {
    from(model);
    std::vector<QPersistentModelIndex> open{QPersistentModelIndex()};  // the top level
    for (QModelIndex i = model.IndexOfItem(widest); i.isValid(); i = i.parent())
        open.emplace_back(i);
    auto layOut = [&] {
        qsizetype chars = 0;
        for (const QPersistentModelIndex& parent : open) {
            const int rows = model.rowCount(parent);
            for (int r = 0; r < rows; ++r) {
                const QModelIndex child = model.index(r, 0, parent);
                chars += model.data(child).toString().size() + (model.parent(child) == parent);
            }
        }
        return chars;
    };
    layOut();
    const auto t0 = std::chrono::steady_clock::now();
    to(model);
    const qsizetype chars = layOut();
    const double seconds = Seconds(t0);
    if (chars < 0) std::printf(" ");  // keeps the work observable
    return seconds;
}

// The same switch in the real dialog, offscreen: a fresh fill, the widest
// directory expanded with its ancestors and painted; then the switch and the
// repaint.
double ViewSwitchSeconds(const sizewalk::CScanList& list, sizewalk::Units units, bool files,
                         sizewalk::CScanTree::Item widest, const ModelChange& from,
                         const ModelChange& to) {
    sizewalk::CSizewalkDlg dlg;
    dlg.show();
    QApplication::processEvents();
    sizewalk::CTreeModel& model = dlg.GetTreeModel();
    from(model);
    sizewalk::FillTree(list, units, files ? sizewalk::Files::Shown : sizewalk::Files::Hidden,
                       model);
    auto* view = static_cast<QTreeView*>(dlg.GetDlgItem(sizewalk::IDC_TREE));
    for (QModelIndex i = model.IndexOfItem(widest); i.isValid(); i = i.parent()) view->expand(i);
    QApplication::processEvents();
    view->repaint();
    const auto t0 = std::chrono::steady_clock::now();
    to(model);
    QApplication::processEvents();
    view->repaint();
    return Seconds(t0);
}

void PrintSwitch(const char* key, sizewalk::CTreeModel& model, const sizewalk::CScanList& list,
                 sizewalk::Units units, bool files, sizewalk::CScanTree::Item widest,
                 const ModelChange& from, const ModelChange& to) {
    std::printf(", \"%s_seconds\": %.6f", key, ModelSwitchSeconds(model, widest, from, to));
    std::printf(", \"%s_view_seconds\": %.6f", key,
                ViewSwitchSeconds(list, units, files, widest, from, to));
}

// Lays out and renders the whole list's treemap at width x height.
void PrintTreemap(const sizewalk::CScanList& list, sizewalk::SizeMode mode, int width, int height) {
    const sizewalk::CListTreemapInput input(list, mode);
    sizewalk::CTreemapLayout layout;
    const auto t0 = std::chrono::steady_clock::now();
    layout.Layout(input, 0, width, height);
    const double layoutSeconds = Seconds(t0);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(layout.Width()) *
                                      static_cast<std::size_t>(layout.Height()));
    const auto r0 = std::chrono::steady_clock::now();
    sizewalk::RenderTreemap(input, layout, pixels);
    const double renderSeconds = Seconds(r0);
    // The folders' names as a pane at 100% asks for them.
    const auto l0 = std::chrono::steady_clock::now();
    const std::size_t labels = sizewalk::TreemapLabels(input, layout).size();
    const double labelSeconds = Seconds(l0);
    std::printf(
        ", \"treemap_width\": %d, \"treemap_height\": %d, \"treemap_layout_seconds\": %.6f, "
        "\"treemap_render_seconds\": %.6f, \"treemap_labels_seconds\": %.6f, "
        "\"treemap_labels\": %zu, \"treemap_layout_bytes_per_entry\": %.2f",
        layout.Width(), layout.Height(), layoutSeconds, renderSeconds, labelSeconds, labels,
        list.Count() ? static_cast<double>(layout.MemoryBytes()) / static_cast<double>(list.Count())
                     : 0.0);
}

// Counts File Types of the whole list, as the view does.
void PrintTypes(const sizewalk::CScanList& list, sizewalk::SizeMode mode) {
    sizewalk::CFileTypes types;
    const auto t0 = std::chrono::steady_clock::now();
    types.Count(list, mode);
    const double seconds = Seconds(t0);
    std::size_t rows = 0;
    for (const sizewalk::FileTypeKind& kind : types.Kinds()) rows += kind.rows.size();
    std::printf(", \"types_seconds\": %.6f, \"types_rows\": %zu", seconds, rows);
}

// One background scan through the dialog's command, cancelled after `after`
// seconds (or at once after it ended).
int CancelLatency(const char* path, double after, int threads) {
    sizewalk::CDirScanner scanner;
    scanner.SetThreadCount(threads);
    sizewalk::CScannerSource source(scanner);
    sizewalk::CTreeModel model;
    const sizewalk::bench::CancelTiming t = sizewalk::bench::TimeCancel(source, model, path, after);
    if (!t.bStarted) return 1;
    sizewalk::bench::PrintCancelTiming(JsonEscape(path), after, t);
    return 0;
}

// The list from a saved scan instead of the disk; says why not on stderr.
bool ImportList(const std::string& file, sizewalk::CDirScanner& scanner) {
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "sizewalk-bench: %s: %s\n", file.c_str(), std::strerror(errno));
        return false;
    }
    sizewalk::CFileSource source(in);
    try {
        sizewalk::ReadScanList(source, scanner.GetList());
    } catch (const std::exception& e) {
        std::fclose(in);
        std::fprintf(stderr, "sizewalk-bench: %s: %s\n", file.c_str(), e.what());
        return false;
    }
    std::fclose(in);
    return true;
}

// --stop-after: the scan asked to stop `after` seconds in; `stopAsked` is when.
sizewalk::ScanStatus ScanStoppedAfter(sizewalk::CDirScanner& scanner, const std::string& path,
                                      sizewalk::CScanProgress& progress, double after,
                                      std::chrono::steady_clock::time_point& stopAsked) {
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::duration<double>(after));
        stopAsked = std::chrono::steady_clock::now();
        progress.RequestStop();
    });
    const sizewalk::ScanStatus status = scanner.Scan(path, &progress);
    stopper.join();
    return status;
}

// --progress: the scan watched as the window watches it.
sizewalk::ScanStatus ScanWatched(sizewalk::CDirScanner& scanner, const std::string& path,
                                 sizewalk::CScanProgress& progress, std::uint64_t& snapshots) {
    ProgressWatcher watcher(progress);
    const sizewalk::ScanStatus status = scanner.Scan(path, &progress);
    snapshots = watcher.Snapshots();
    return status;
}

// --export: the list written as a saved scan, timed; false when the file
// cannot be opened.
bool PrintExport(const sizewalk::CScanList& list, const std::string& file) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "sizewalk-bench: %s: %s\n", file.c_str(), std::strerror(errno));
        return false;
    }
    const auto x0 = std::chrono::steady_clock::now();
    sizewalk::CFileOutput output(out);
    sizewalk::CScanFileWriter writer(output);
    sizewalk::WriteScanList(list, writer);
    const bool written = std::fclose(out) == 0;
    std::printf(", \"export_seconds\": %.6f%s", Seconds(x0),
                written ? "" : ", \"export\": \"failed\"");
    return true;
}

// --compare: the scan compared with a saved one; false when that cannot be read.
bool PrintCompare(const sizewalk::CScanList& list, const std::string& file) {
    sizewalk::CScanList older;
    try {
        sizewalk::OpenScanFile(file, older);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sizewalk-bench: %s: %s\n", file.c_str(), e.what());
        return false;
    }
    sizewalk::CScanComparison comparison;
    const auto c0 = std::chrono::steady_clock::now();
    comparison.Compare(list, older);
    const double seconds = Seconds(c0);
    std::printf(
        ", \"compare_seconds\": %.6f, \"compare_bytes_per_entry\": %.2f, \"compare_new\": %zu, "
        "\"compare_gone\": %zu",
        seconds, static_cast<double>(comparison.MemoryBytes()) / static_cast<double>(list.Count()),
        comparison.NewCount(), comparison.GoneCount());
    return true;
}

// --sort and --on-disk with --fill: switching to what was asked for, from
// the other choice.
void PrintSwitches(const BenchOptions& o, sizewalk::CTreeModel& model,
                   const sizewalk::CScanList& list, sizewalk::CScanTree::Item widest,
                   sizewalk::SortOrder order, sizewalk::SizeMode mode) {
    if (o.sort) {
        const sizewalk::SortOrder other = order == sizewalk::SortOrder::Size
                                              ? sizewalk::SortOrder::Name
                                              : sizewalk::SortOrder::Size;
        PrintSwitch(
            "sort", model, list, o.units, o.files, widest,
            [&](sizewalk::CTreeModel& m) {
                m.SetSortOrder(other);
                m.SetSizeMode(mode);
            },
            [&](sizewalk::CTreeModel& m) { m.SetSortOrder(order); });
    }
    if (o.onDisk) {
        PrintSwitch(
            "size_mode", model, list, o.units, o.files, widest,
            [&](sizewalk::CTreeModel& m) {
                m.SetSortOrder(order);
                m.SetSizeMode(sizewalk::SizeMode::Apparent);
            },
            [&](sizewalk::CTreeModel& m) { m.SetSizeMode(sizewalk::SizeMode::OnDisk); });
    }
}

// --fill: the tree fill into the model, then the widest directory's first
// look, in the model and in the view, then the switches.
void PrintFill(const BenchOptions& o, sizewalk::CTreeModel& model, const sizewalk::CScanList& list,
               sizewalk::SortOrder order, sizewalk::SizeMode mode) {
    const long long beforeFill = ResidentBytes();
    const auto f0 = std::chrono::steady_clock::now();
    sizewalk::FillTree(list, o.units, o.files ? sizewalk::Files::Shown : sizewalk::Files::Hidden,
                       model);
    const double fillSeconds = Seconds(f0);
    const double items = static_cast<double>(model.ItemCount());
    std::printf(
        ", \"items\": %zu, \"fill_seconds\": %.6f, \"model_bytes_per_item\": %.2f, "
        "\"model_rss_bytes_per_item\": %.2f",
        model.ItemCount(), fillSeconds,
        items > 0 ? static_cast<double>(model.MemoryBytes()) / items : 0.0,
        items > 0 ? static_cast<double>(ResidentBytes() - beforeFill) / items : 0.0);

    std::size_t width = 0;
    const sizewalk::CScanTree::Item widest =
        model.Tree() ? Widest(*model.Tree(), width) : sizewalk::CScanTree::kNoItem;
    if (widest == sizewalk::CScanTree::kNoItem) return;
    const QModelIndex parent = model.IndexOfItem(widest);
    const auto e0 = std::chrono::steady_clock::now();
    const int rows = model.rowCount(parent);
    qsizetype chars = 0;
    for (int r = 0; r < rows; ++r) {
        const QModelIndex child = model.index(r, 0, parent);
        chars += model.data(child).toString().size() + (model.parent(child) == parent);
    }
    std::printf(", \"widest_children\": %d, \"widest_expand_seconds\": %.6f", rows, Seconds(e0));
    if (chars < 0) std::printf(" ");  // keeps the work observable
    std::printf(", \"widest_view_expand_seconds\": %.6f",
                ViewExpandSeconds(list, o.units, o.files, widest));
    PrintSwitches(o, model, list, widest, order, mode);
}

// --redraw: OK pressed again with the same path through the command (no
// scan). The scanner's list becomes the kept scan, as the window keeps it.
void PrintRedraw(const BenchOptions& o, sizewalk::CDirScanner& scanner, sizewalk::CKeptScan& kept,
                 sizewalk::CTreeModel& model, const std::string& path) {
    sizewalk::ScanFields fields;
    fields.m_strStartDir = path;
    fields.m_eUnits = o.units;
    fields.m_eFiles = o.files ? sizewalk::Files::Shown : sizewalk::Files::Hidden;
    std::string last = path;
    sizewalk::StripTrailingSeparator(last);
    kept.Take(std::move(scanner.GetList()), std::move(last), sizewalk::ScanOrigin::Walked());
    sizewalk::CScannerSource source(scanner);
    sizewalk::bench::WindowCommand command(source, kept, model);
    const auto r0 = std::chrono::steady_clock::now();
    const auto outcome = command.PressOK(fields);
    std::printf(", \"redraw_seconds\": %.6f%s", Seconds(r0),
                outcome == sizewalk::ScanOutcome::Redrawn ? "" : ", \"redraw\": \"failed\"");
}

// The scan's own line: counts, times and memory.
void PrintScan(int run, const std::string& path, int threads, const sizewalk::CDirScanner& scanner,
               double seconds, double cpuSeconds, long long baseline, long long peak) {
    const std::size_t directories = scanner.GetList().Dirs().size();
    const std::size_t entries = scanner.GetCount();
    const long long growth = ResidentBytes() - baseline;
    std::printf(
        "{\"run\": %d, \"path\": \"%s\", \"threads\": %d, \"entries\": %zu, "
        "\"directories\": %zu, \"files\": %zu, \"total_bytes\": %.0f, \"scan_seconds\": %.6f, "
        "\"scan_cpu_seconds\": %.6f, \"bytes_per_entry\": %.2f, \"peak_bytes_per_entry\": %.2f",
        run, JsonEscape(path.c_str()).c_str(), threads, entries, directories, entries - directories,
        static_cast<double>(scanner.GetAt(0).m_nSize), seconds, cpuSeconds,
        entries ? static_cast<double>(growth) / static_cast<double>(entries) : 0.0,
        entries ? static_cast<double>(peak - baseline) / static_cast<double>(entries) : 0.0);
}

// The scans, one JSON line each; 1 when one cannot be made.
int RunScans(const BenchOptions& o) {
    sizewalk::CDirScanner scanner;
    scanner.SetThreadCount(o.threads);
    sizewalk::CKeptScan kept;  // of --redraw; outlives the model that shows it
    sizewalk::CTreeModel model;
    const sizewalk::SortOrder order = o.sort.value_or(sizewalk::SortOrder::Name);
    const sizewalk::SizeMode mode =
        o.onDisk ? sizewalk::SizeMode::OnDisk : sizewalk::SizeMode::Apparent;
    model.SetSortOrder(order);
    model.SetSizeMode(mode);
    std::string path = o.path;
    const long long baseline = ResidentBytes();
    for (int run = 1; run <= o.repeat; ++run) {
        model.DeleteAllItems();  // the command drops the items before a scan
        kept.Clear();            // and the kept scan
        if (o.cold && !DropCaches()) return 1;
        ResetPeakResident();
        sizewalk::CScanProgress progress;
        std::uint64_t snapshots = 0;
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        std::chrono::steady_clock::time_point stopAsked{};
        sizewalk::ScanStatus status = sizewalk::ScanStatus::Complete;
        if (!o.importFile.empty()) {
            if (!ImportList(o.importFile, scanner)) return 1;
            path = std::string(scanner.GetList()[0].GetName());
        } else if (o.stopAfter >= 0) {
            status = ScanStoppedAfter(scanner, path, progress, o.stopAfter, stopAsked);
        } else if (o.watch) {
            status = ScanWatched(scanner, path, progress, snapshots);
        } else {
            scanner.Scan(path);
        }
        const auto t1 = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(t1 - t0).count();
        const double cpuSeconds = CpuSeconds() - cpu0;
        if (status == sizewalk::ScanStatus::Stopped) {
            std::printf(
                "{\"run\": %d, \"threads\": %d, \"stopped\": true, "
                "\"stop_latency_seconds\": %.6f}\n",
                run, o.threads, std::chrono::duration<double>(t1 - stopAsked).count());
            std::fflush(stdout);
            continue;
        }
        const long long peak = PeakResidentSinceReset();
        PrintScan(run, path, o.threads, scanner, seconds, cpuSeconds, baseline, peak);
        if (o.watch)
            std::printf(", \"progress_snapshots\": %llu",
                        static_cast<unsigned long long>(snapshots));
        if (o.digest) std::printf(", \"list_sha256\": \"%s\"", ListDigest(scanner).c_str());
        if (!o.importFile.empty()) std::printf(", \"import_seconds\": %.6f", seconds);
        if (!o.exportFile.empty() && !PrintExport(scanner.GetList(), o.exportFile)) return 1;
        if (!o.compareFile.empty() && !PrintCompare(scanner.GetList(), o.compareFile)) return 1;
        const std::size_t entries = scanner.GetCount();
        std::printf(
            ", \"disk_bytes\": %llu",
            entries ? static_cast<unsigned long long>(scanner.GetAt(0).GetDiskSize()) : 0ull);
        if (o.treemapWidth > 0)
            PrintTreemap(scanner.GetList(), mode, o.treemapWidth, o.treemapHeight);
        if (!sizewalk::bench::PrintLists(scanner.GetList(), mode, o.lists)) return 1;
        if (o.types) PrintTypes(scanner.GetList(), mode);
        if (o.fill) PrintFill(o, model, scanner.GetList(), order, mode);
        if (o.redraw) PrintRedraw(o, scanner, kept, model, path);
        std::printf(", \"peak_rss_bytes\": %lld}\n", PeakResidentBytes());
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions o;
    if (!ParseArguments(std::vector<std::string>(argv + 1, argv + argc), o)) return 2;

    sizewalk::FindRecord probe;
    if (o.importFile.empty() &&
        (!sizewalk::ProbePath(o.path.c_str(), probe) || !probe.IsDirectory())) {
        std::fprintf(stderr, "sizewalk-bench: %s: not a directory\n", o.path.c_str());
        return 1;
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (o.cancelAfter >= 0) {
        if (o.cold && !DropCaches()) return 1;
        return CancelLatency(o.path.c_str(), o.cancelAfter, o.threads);
    }
    return RunScans(o);
}
