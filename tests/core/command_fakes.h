#pragma once
// Stand-ins for the window's side of the scan command: a tree sink that
// records an outline, a message box that notes what it shows, a wait cursor
// that checks it is begun and ended in pairs, and a scan-done notice a test
// can wait for.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "core/live_scan_command.h"
#include "core/scan_command.h"

namespace sizewalk::test {

// Keeps each parent's children in sorted position (byte order of the label
// is enough here; the real collation is the tree model's) and formats every
// label at once.
class RecordingSink : public CTreeSink {
public:
    void DeleteAllItems() override {
        m_labels.clear();
        m_children.clear();
        ++deletes;
    }
    TreeItem InsertItem(TreeItem parent, const CScanEntry& entry, Units units) override {
        if (failAfter >= 0 && static_cast<int>(m_labels.size()) >= failAfter) throw std::bad_alloc();
        if (cursorActive && *cursorActive) ++insertsUnderWaitCursor;
        EXPECT_TRUE(parent == kNoTreeItem || parent <= m_labels.size()) << "unknown parent handle";
        std::string label;
        FormatLabel(label, entry, units);
        m_labels.push_back(label);
        const TreeItem handle = m_labels.size();
        auto& siblings = m_children[parent];
        const auto at = std::upper_bound(siblings.begin(), siblings.end(), handle,
                                         [&](TreeItem a, TreeItem b) { return Label(a) < Label(b); });
        siblings.insert(at, handle);
        return handle;
    }
    void EndInsert() override { ++ends; }

    const std::string& Label(TreeItem h) const { return m_labels[h - 1]; }
    std::size_t Count() const { return m_labels.size(); }
    // One line per item in tree order, indented two spaces per level.
    std::string Outline() const {
        std::string out;
        Walk(kNoTreeItem, 0, out);
        return out;
    }

    int deletes = 0, ends = 0, failAfter = -1, insertsUnderWaitCursor = 0;
    const bool* cursorActive = nullptr;

private:
    void Walk(TreeItem parent, int level, std::string& out) const {
        const auto it = m_children.find(parent);
        if (it == m_children.end()) return;
        for (TreeItem h : it->second) {
            out += std::string(static_cast<std::size_t>(level) * 2, ' ') + Label(h) + "\n";
            Walk(h, level + 1, out);
        }
    }
    std::vector<std::string> m_labels;
    std::map<TreeItem, std::vector<TreeItem>> m_children;
};

struct Shown {
    std::string text;
    MessageIcon icon;
};
class TestMessages : public CMessageBox {
public:
    void Show(std::string_view text, MessageIcon icon) override { shown.push_back({std::string(text), icon}); }
    std::vector<Shown> shown;
};

class TestCursor : public CWaitCursor {
public:
    void Begin() override {
        EXPECT_FALSE(active);
        active = true;
        ++begins;
    }
    void End() override {
        EXPECT_TRUE(active);
        active = false;
    }
    bool active = false;
    int begins = 0;
};

// Counts the scan-done notices and wakes a test waiting for one; a window
// would post a message instead.
class TestNotify : public CScanDoneNotify {
public:
    void PostScanDone() noexcept override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nCount;
        m_thread = std::this_thread::get_id();
        m_changed.notify_all();
    }
    bool WaitFor(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_nCount >= count; });
    }
    int Count() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nCount;
    }
    std::thread::id Thread() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_thread;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_nCount = 0;
    std::thread::id m_thread;
};

}  // namespace sizewalk::test
