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
#include "model/scan_tree.h"
#include "model/size_text.h"

namespace sizewalk::test {

// Byte order stands in for the platform's collation.
class ByteOrder : public CNameOrder {
public:
    int Compare(std::string_view a, std::string_view b) const override { return a.compare(b); }
};

// Shows a list as the views do, through the scan tree (names in byte order),
// and keeps the whole outline with every label formatted at once.
class RecordingSink : public CTreeSink {
public:
    void DeleteAllItems() override {
        m_lines.clear();
        ++deletes;
    }
    void ShowList(const CScanList& list, Units units, Files files) override {
        m_lines.clear();
        const CScanTree tree(list, files, m_names);
        if (failAfter >= 0 && tree.ItemCount() > static_cast<std::size_t>(failAfter))
            throw std::bad_alloc();
        if (cursorActive && *cursorActive) ++insertsUnderWaitCursor;
        Walk(tree, 0, 0, units);
        ++ends;
    }

    std::size_t Count() const { return m_lines.size(); }
    // One line per item in tree order, indented two spaces per level.
    std::string Outline() const {
        std::string out;
        for (const std::string& line : m_lines) out += line + "\n";
        return out;
    }

    int deletes = 0, ends = 0, failAfter = -1, insertsUnderWaitCursor = 0;
    const bool* cursorActive = nullptr;

private:
    void Walk(const CScanTree& tree, CScanTree::Item item, int level, Units units) {
        std::string label;
        FormatItemLabel(label, tree, item, units, SizeMode::Apparent);
        m_lines.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') + label);
        for (CScanTree::Item child : tree.Children(item)) Walk(tree, child, level + 1, units);
    }
    ByteOrder m_names;
    std::vector<std::string> m_lines;
};

struct Shown {
    std::string text;
    MessageIcon icon;
};
class TestMessages : public CMessageBox {
public:
    void Show(std::string_view text, MessageIcon icon) override {
        shown.push_back({std::string(text), icon});
    }
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
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_nCount >= count; });
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
