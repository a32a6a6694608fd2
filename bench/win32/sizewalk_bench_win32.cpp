// The Windows benchmark: scans a directory with the real scanner and prints
// one JSON line per run, with the keys of the Linux tool where they mean the
// same:
//   sizewalk-bench [--repeat N] [--fill] [--files] [--units mb|kb|bytes]
//                  [--redraw] [--sort size|name] [--on-disk]
//                  [--cancel-after SECONDS] [--top N] [--find PATTERN] PATH
// --top and --find time the lists beside the tree (see bench/find_bench.h).
// bytes_per_entry is the growth of the working set across the scan, divided
// by the entries kept; disk_bytes is the start entry's total on disk.
//
// --fill runs the scan command's tree fill into a real SysTreeView32 control
// on screen, as the dialog's, and adds fill_seconds (the fill and the first
// paint) and widest_expand_seconds: opening the widest directory (its
// ancestors opened first, untimed) and painting it. --redraw then presses OK
// again with the same path through the command (no scan) and adds
// redraw_seconds. --files shows files, --units picks the label unit.
//
// --sort and --on-disk, with --fill, add what switching to that order (from
// the other one) or to sizes on disk costs with the widest directory open:
// sort_view_seconds and size_mode_view_seconds, the switch and the repaint.
//
// --cancel-after runs one background scan through the dialog's command
// instead, into a tree on screen, presses Cancel after SECONDS and prints
// cancel_seconds: from the press until the command is idle again (worker
// joined, tree emptied).

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/command_partners.h"
#include "bench/find_bench.h"
#include "core/command_line.h"
#include "core/entry_source.h"
#include "core/scan_command.h"
#include "platform/find_record.h"
#include "platform/wide_text_win32.h"
#include "scan/dir_scanner.h"
#include "ui/win32/tree_view_sink.h"
#include "ui/win32/tree_window.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// A JSON string body from UTF-8: quotes, backslashes and control
// characters escaped, the rest passed through.
std::string Json(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

// What the command line asks for.
struct BenchOptions {
    int repeat = 1;
    bool fill = false, files = false;
    sizewalk::Units units = sizewalk::Units::MB;
    bool redraw = false;
    std::optional<sizewalk::SortOrder> sort;
    bool onDisk = false;
    double cancelAfter = -1;
    sizewalk::bench::ListTimings lists;
    std::string path;
};

// Any fault in the arguments: the usage, and exit status 2.
bool ParseArguments(const std::vector<std::string>& args, BenchOptions& o) {
    using sizewalk::SortOrder;
    using sizewalk::Units;
    sizewalk::CCommandLine options;
    options.Integer("--repeat", "N", o.repeat, 1, std::numeric_limits<int>::max())
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
        .Decimal("--cancel-after", "SECONDS", o.cancelAfter, 0);
    sizewalk::bench::DeclareListTimings(options, o.lists);
    const sizewalk::CCommandLine::Result parsed = options.Parse(args);
    if (parsed && parsed.positional.size() == 1) {
        o.path = parsed.positional.front();
        o.fill = o.fill || o.redraw;
        return true;
    }
    std::fprintf(stderr, "usage: sizewalk-bench %s PATH\n", options.Synopsis().c_str());
    return false;
}

// A tree window on screen in the dialog's font, with its sink.
class TreeFrame {
public:
    TreeFrame() : m_window(true, 640, 640) {
        if (!m_window.IsValid()) return;
        // The dialog's font: 8-point MS Sans Serif.
        HDC screen = ::GetDC(nullptr);
        const int height = -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
        ::ReleaseDC(nullptr, screen);
        m_font = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
        ::SendMessageW(Tree(), WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        m_sink = std::make_unique<sizewalk::CTreeViewSink>(Tree());
        m_window.Attach(m_sink.get());
        Paint();
    }
    ~TreeFrame() {
        m_window.Attach(nullptr);
        m_sink.reset();
        if (m_font) ::DeleteObject(m_font);
    }
    bool Ok() const { return m_sink != nullptr; }
    HWND Tree() const { return m_window.Tree(); }
    sizewalk::CTreeViewSink& Sink() { return *m_sink; }
    // Handles what is pending and paints what needs it.
    void Paint() const {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::UpdateWindow(Tree());
    }
    // The control's item that shows `shown` among the children of `parent`
    // (null: the top level).
    HTREEITEM Find(HTREEITEM parent, sizewalk::CScanTree::Item shown) const {
        auto next = [this](HTREEITEM item, UINT how) {
            return reinterpret_cast<HTREEITEM>(
                ::SendMessageW(Tree(), TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
        };
        for (HTREEITEM item = parent ? next(parent, TVGN_CHILD) : next(nullptr, TVGN_ROOT); item;
             item = next(item, TVGN_NEXT)) {
            TVITEMW tv{};
            tv.mask = TVIF_PARAM | TVIF_HANDLE;
            tv.hItem = item;
            ::SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
            if (m_sink->ItemOf(item) == shown) return item;
        }
        return nullptr;
    }
    void Expand(HTREEITEM item) const {
        ::SendMessageW(Tree(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    }

private:
    sizewalk::CTreeWindow m_window;
    HFONT m_font = nullptr;
    std::unique_ptr<sizewalk::CTreeViewSink> m_sink;
};

// The directory with the most children shown, and the chain of directories
// down to it (the start entry first).
std::vector<sizewalk::CScanTree::Item> WidestChain(const sizewalk::CScanTree& tree,
                                                   std::size_t& children) {
    using sizewalk::CScanTree;
    CScanTree::Item best = CScanTree::kNoItem;
    children = 0;
    for (const sizewalk::CScanList::DirRecord& d : tree.List().Dirs()) {
        const std::size_t n = tree.ChildCount(d.nEntry);
        if (best == CScanTree::kNoItem || n > children) {
            best = d.nEntry;
            children = n;
        }
    }
    std::vector<CScanTree::Item> chain;
    for (CScanTree::Item i = best; i != CScanTree::kNoItem; i = tree.Parent(i))
        chain.insert(chain.begin(), i);
    return chain;
}

// One background scan through the dialog's command into a tree on screen,
// cancelled after `after` seconds (or at once after it ended).
int CancelLatency(const std::string& path, double after) {
    sizewalk::CDirScanner scanner;
    sizewalk::CScannerSource source(scanner);
    TreeFrame frame;
    if (!frame.Ok()) return 1;
    const sizewalk::bench::CancelTiming t =
        sizewalk::bench::TimeCancel(source, frame.Sink(), path, after);
    if (!t.bStarted) return 1;
    sizewalk::bench::PrintCancelTiming(Json(path), after, t);
    return 0;
}

// Opens the chain's directories down to the last one's parent, then times
// opening and painting the last.
double ExpandSeconds(const TreeFrame& frame, const std::vector<sizewalk::CScanTree::Item>& chain) {
    HTREEITEM item = nullptr;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        item = frame.Find(item, chain[i]);
        if (!item) return -1;
        if (i + 1 < chain.size()) frame.Expand(item);
    }
    frame.Paint();
    const auto t0 = std::chrono::steady_clock::now();
    frame.Expand(item);
    frame.Paint();
    return Seconds(t0);
}

// --fill: the tree fill into the control and its first paint, then the
// widest directory opened, then the switches asked for.
void PrintFill(const BenchOptions& o, TreeFrame& frame, const sizewalk::CScanList& list) {
    const auto f0 = std::chrono::steady_clock::now();
    sizewalk::FillTree(list, o.units, o.files ? sizewalk::Files::Shown : sizewalk::Files::Hidden,
                       frame.Sink());
    frame.Paint();
    const double fillSeconds = Seconds(f0);
    std::printf(", \"items\": %zu, \"fill_seconds\": %.6f", frame.Sink().ItemCount(), fillSeconds);
    std::size_t width = 0;
    const auto chain = frame.Sink().Tree() ? WidestChain(*frame.Sink().Tree(), width)
                                           : std::vector<sizewalk::CScanTree::Item>();
    if (!chain.empty())
        std::printf(", \"widest_children\": %zu, \"widest_expand_seconds\": %.6f", width,
                    ExpandSeconds(frame, chain));
    auto timed = [&](auto&& change) {
        const auto s0 = std::chrono::steady_clock::now();
        change();
        frame.Paint();
        return Seconds(s0);
    };
    if (o.sort)
        std::printf(", \"sort_view_seconds\": %.6f",
                    timed([&] { frame.Sink().SetSortOrder(*o.sort); }));
    if (o.onDisk)
        std::printf(", \"size_mode_view_seconds\": %.6f",
                    timed([&] { frame.Sink().SetSizeMode(sizewalk::SizeMode::OnDisk); }));
}

// --redraw: OK pressed again with the same path through the command (no
// scan). The scanner's list becomes the kept scan, as the window keeps it.
void PrintRedraw(const BenchOptions& o, TreeFrame& frame, sizewalk::CDirScanner& scanner,
                 sizewalk::CKeptScan& kept) {
    sizewalk::ScanFields fields;
    fields.m_strStartDir = o.path;
    fields.m_eUnits = o.units;
    fields.m_eFiles = o.files ? sizewalk::Files::Shown : sizewalk::Files::Hidden;
    std::string last = o.path;
    sizewalk::StripTrailingSeparator(last);
    kept.Take(std::move(scanner.GetList()), std::move(last), sizewalk::ScanOrigin::Walked());
    sizewalk::CScannerSource source(scanner);
    sizewalk::bench::WindowCommand command(source, kept, frame.Sink());
    const auto r0 = std::chrono::steady_clock::now();
    const auto outcome = command.PressOK(fields);
    frame.Paint();
    std::printf(", \"redraw_seconds\": %.6f%s", Seconds(r0),
                outcome == sizewalk::ScanOutcome::Redrawn ? "" : ", \"redraw\": \"failed\"");
}

// The scan's own part of the line: counts, times and memory.
void PrintScan(int run, const std::string& path, const sizewalk::CDirScanner& scanner,
               double seconds, SIZE_T baseline) {
    const std::size_t directories = scanner.GetList().Dirs().size();
    const std::size_t entries = scanner.GetCount();
    const double growth =
        static_cast<double>(Memory().WorkingSetSize) - static_cast<double>(baseline);
    std::printf(
        "{\"run\": %d, \"path\": \"%s\", \"entries\": %zu, \"directories\": %zu, "
        "\"files\": %zu, \"total_bytes\": %.0f, \"disk_bytes\": %llu, \"scan_seconds\": %.6f, "
        "\"bytes_per_entry\": %.2f",
        run, Json(path).c_str(), entries, directories, entries - directories,
        static_cast<double>(scanner.GetAt(0).m_nSize),
        static_cast<unsigned long long>(scanner.GetAt(0).GetDiskSize()), seconds,
        entries ? growth / static_cast<double>(entries) : 0.0);
}

// The scans, one JSON line each; 1 when the tree has no window.
int RunScans(const BenchOptions& o) {
    sizewalk::CDirScanner scanner;
    sizewalk::CKeptScan kept;  // of --redraw; outlives the frame that shows it
    std::unique_ptr<TreeFrame> frame;
    if (o.fill) {
        frame = std::make_unique<TreeFrame>();
        if (!frame->Ok()) {
            std::fprintf(stderr, "sizewalk-bench: no window for the tree\n");
            return 1;
        }
    }
    const sizewalk::SortOrder order = o.sort.value_or(sizewalk::SortOrder::Name);
    const SIZE_T baseline = Memory().WorkingSetSize;
    for (int run = 1; run <= o.repeat; ++run) {
        if (frame) {
            frame->Sink().DeleteAllItems();  // the command drops the items before a scan
            kept.Clear();                    // and the kept scan
            // The order switched from, and apparent sizes.
            frame->Sink().SetSortOrder(order == sizewalk::SortOrder::Size
                                           ? sizewalk::SortOrder::Name
                                           : sizewalk::SortOrder::Size);
            frame->Sink().SetSizeMode(sizewalk::SizeMode::Apparent);
        }
        const auto t0 = std::chrono::steady_clock::now();
        scanner.Scan(o.path);
        PrintScan(run, o.path, scanner, Seconds(t0), baseline);
        if (!sizewalk::bench::PrintLists(
                scanner.GetList(),
                o.onDisk ? sizewalk::SizeMode::OnDisk : sizewalk::SizeMode::Apparent, o.lists))
            return 1;
        if (o.fill) PrintFill(o, *frame, scanner.GetList());
        if (o.redraw) PrintRedraw(o, *frame, scanner, kept);
        std::printf(", \"peak_rss_bytes\": %llu}\n",
                    static_cast<unsigned long long>(Memory().PeakWorkingSetSize));
        std::fflush(stdout);
    }
    return 0;
}

int Run(const std::vector<std::string>& args) {
    BenchOptions o;
    if (!ParseArguments(args, o)) return 2;
    sizewalk::FindRecord probe;
    if (!sizewalk::ProbePath(o.path.c_str(), probe) || !probe.IsDirectory()) {
        std::fprintf(stderr, "sizewalk-bench: %s: not a directory\n", o.path.c_str());
        return 1;
    }
    if (o.cancelAfter >= 0) return CancelLatency(o.path, o.cancelAfter);
    return RunScans(o);
}

}  // namespace

// The arguments as UTF-16, so that a path in any script arrives whole.
int main() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv) return 2;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(sizewalk::Utf8FromWide(argv[i]));
    ::LocalFree(argv);
    return Run(args);
}
