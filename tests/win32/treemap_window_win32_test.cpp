// The Windows treemap pane over a real directory: it paints the toolkit-free
// renderer's pixels, a click reports the tile's index, the outline, zoom with
// its path line and window text, the size switch, and a picture drawn in the
// background while the window answers.
#include <windows.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/treemap_picture.h"
#include "scan/dir_scanner.h"
#include "ui/win32/treemap_window.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::WinTempTree;

std::uint32_t IndexNamed(const CScanList& list, std::string_view name) {
    for (std::size_t i = 0; i < list.Count(); ++i)
        if (list[i].GetName() == name) return static_cast<std::uint32_t>(i);
    return kNoNode;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(hwnd, text, 1024);
    return text;
}

// Runs the window's messages until `done` (or a generous bound passes).
template <class Done>
bool PumpUntil(Done done) {
    const ULONGLONG until = ::GetTickCount64() + 20000;
    while (!done() && ::GetTickCount64() < until) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
    return done();
}

// A one-way signal between the test and the worker.
class CSignal {
public:
    void Raise() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bRaised = true;
        m_wake.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_lock);
        m_wake.wait(lock, [this] { return m_bRaised; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_bRaised = false;
};

class TreemapWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tree = new WinTempTree();
        s_tree->File("big.iso", 8 << 20);
        s_tree->Dir("pics");
        s_tree->File("pics\\a.jpg", 2 << 20);
        s_tree->File("pics\\b.txt", 1 << 20);
        s_tree->WrittenFile("dense.dat", 256 << 10);
        s_scanner = new CDirScanner();
        ASSERT_EQ(s_scanner->Scan(s_tree->Root()), ScanStatus::Complete);
    }
    static void TearDownTestSuite() {
        delete s_scanner;
        delete s_tree;
    }

    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SizewalkTreemapTestFrame";
        ::RegisterClassW(&wc);
        m_frame = ::CreateWindowExW(0, wc.lpszClassName, L"Treemap test", WS_OVERLAPPEDWINDOW, 0, 0,
                                    600, 500, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(m_frame);
        ::ShowWindow(m_frame, SW_SHOWNOACTIVATE);
        m_pane = std::make_unique<CTreemapWindow>(m_frame, 1010, RECT{10, 10, 410, 310});
        ASSERT_TRUE(m_pane->IsValid());
        m_pane->SetList(&List());
    }
    void TearDown() override {
        m_pane.reset();
        ::DestroyWindow(m_frame);
    }

    static const CScanList& List() { return s_scanner->GetList(); }

    std::unique_ptr<TreemapPicture> Expected() const {
        TreemapRequest request;
        request.pList = &List();
        request.mode = m_pane->GetSizeMode();
        request.nRoot = m_pane->ZoomRoot();
        const RECT map = m_pane->MapRect();
        request.nWidth = map.right - map.left;
        request.nHeight = map.bottom - map.top;
        return MakeTreemapPicture(request);
    }
    // The centre of a node's tile, in the pane's client coordinates.
    LPARAM CentreOf(std::uint32_t node) const {
        const TreemapRect r = Expected()->layout.Rect(node);
        const RECT map = m_pane->MapRect();
        return MAKELPARAM(map.left + (r.x0 + r.x1) / 2, map.top + (r.y0 + r.y1) / 2);
    }
    bool ShowsExpected() const {
        const auto picture = Expected();
        if (m_pane->PictureWidth() != picture->request.nWidth ||
            m_pane->PictureHeight() != picture->request.nHeight)
            return false;
        for (std::size_t i = 0; i < picture->pixels.size(); ++i)
            if ((m_pane->Bits()[i] & 0xFFFFFFu) != (picture->pixels[i] & 0xFFFFFFu)) return false;
        return true;
    }

    static WinTempTree* s_tree;
    static CDirScanner* s_scanner;
    HWND m_frame = nullptr;
    std::unique_ptr<CTreemapWindow> m_pane;
};

WinTempTree* TreemapWindowTest::s_tree = nullptr;
CDirScanner* TreemapWindowTest::s_scanner = nullptr;

TEST_F(TreemapWindowTest, PaintsTheRenderersPixels) {
    ASSERT_TRUE(ShowsExpected());
    // What WM_PAINT draws, read back from a 32-bit top-down DIB.
    RECT client{};
    ::GetClientRect(m_pane->Window(), &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(dib);
    const HGDIOBJ old = ::SelectObject(dc, dib);
    ::SendMessageW(m_pane->Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    const auto picture = Expected();
    const RECT map = m_pane->MapRect();
    const auto* painted = static_cast<const std::uint32_t*>(bits);
    // Outside the folders' names the picture as it is; a name (with its
    // halo, a pixel around) changes pixels of its box.
    const auto& labels = m_pane->Labels();
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].strName, "pics");
    const TreemapRect box = labels[0].rect;
    auto inBox = [&box](int x, int y) {
        return x >= box.x0 - 1 && x <= box.x1 && y >= box.y0 - 1 && y <= box.y1;
    };
    int differing = 0, named = 0;
    for (int y = 0; y < picture->request.nHeight; ++y)
        for (int x = 0; x < picture->request.nWidth; ++x) {
            const bool differs =
                (painted[(map.top + y) * client.right + map.left + x] & 0xFFFFFFu) !=
                (picture->pixels[std::size_t(y) * picture->request.nWidth + x] & 0xFFFFFFu);
            (inBox(x, y) ? named : differing) += differs;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(named, 20);
    ::SelectObject(dc, old);
    ::DeleteObject(dib);
    ::DeleteDC(dc);
    EXPECT_GT(map.top, 0) << "the path line sits above the map";
    EXPECT_EQ(TextOf(m_pane->PathWindow()), WideFromUtf8(s_tree->Root()));
}

TEST_F(TreemapWindowTest, ClickSelectsOutlinesAndZooms) {
    const std::uint32_t a = IndexNamed(List(), "a.jpg"), b = IndexNamed(List(), "b.txt");
    const std::uint32_t pics = IndexNamed(List(), "pics");
    std::vector<std::uint32_t> selected;
    m_pane->SetOnSelect([&](std::uint32_t index) {
        selected.push_back(index);
        m_pane->SetSelected(index);  // as the presenter does: the pane only reports
    });
    ::SendMessageW(m_pane->Window(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(a));
    ::SendMessageW(m_pane->Window(), WM_LBUTTONUP, 0, CentreOf(a));
    ASSERT_EQ(selected, std::vector<std::uint32_t>{a});
    EXPECT_EQ(m_pane->Selected(), a);
    EXPECT_EQ(::GetFocus(), m_pane->Window());
    // The outline: white on the tile's edge, the rest as rendered.
    const TreemapRect r = Expected()->layout.Rect(a);
    EXPECT_EQ(m_pane->Bits()[r.y0 * m_pane->PictureWidth() + r.x0] & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_FALSE(ShowsExpected());
    m_pane->SetSelected(kNoNode);
    EXPECT_TRUE(ShowsExpected());

    const std::wstring root = WideFromUtf8(s_tree->Root());
    EXPECT_EQ(TextOf(m_pane->Window()), L"Treemap of " + root + L": largest big.iso, 71.1%");
    ::SendMessageW(m_pane->Window(), WM_LBUTTONDBLCLK, MK_LBUTTON, CentreOf(b));
    EXPECT_EQ(m_pane->ZoomRoot(), pics);
    EXPECT_EQ(TextOf(m_pane->PathWindow()), root + L"\\pics");
    EXPECT_EQ(TextOf(m_pane->Window()),
              L"Treemap of " + root + L"\\pics: largest a.jpg, 66.7%, zoom level 1");
    EXPECT_TRUE(ShowsExpected());
    ::SendMessageW(m_pane->Window(), WM_KEYDOWN, VK_BACK, 0);
    EXPECT_EQ(m_pane->ZoomRoot(), 0u);
    EXPECT_FALSE(m_pane->ZoomOut());
    // Enter zooms into the selection's directory, if there is one.
    m_pane->SetSelected(b);
    EXPECT_NE(::SendMessageW(m_pane->Window(), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, 0);
    MSG enter{m_pane->Window(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_NE(::SendMessageW(m_pane->Window(), WM_GETDLGCODE, VK_RETURN,
                             reinterpret_cast<LPARAM>(&enter)) &
                  DLGC_WANTMESSAGE,
              0);
    ::SendMessageW(m_pane->Window(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(m_pane->ZoomRoot(), pics);
    EXPECT_FALSE(m_pane->ZoomInto(IndexNamed(List(), "a.jpg")));
    // In the tile's folder Enter is the dialog's again; Home goes to the start.
    EXPECT_EQ(::SendMessageW(m_pane->Window(), WM_GETDLGCODE, VK_RETURN,
                             reinterpret_cast<LPARAM>(&enter)) &
                  DLGC_WANTMESSAGE,
              0);
    ::SendMessageW(m_pane->Window(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(m_pane->ZoomRoot(), 0u);
    EXPECT_EQ(TextOf(m_pane->PathWindow()), root);
    EXPECT_EQ(TextOf(m_pane->Window()), L"Treemap of " + root + L": largest big.iso, 71.1%");
}

TEST_F(TreemapWindowTest, SizeSwitchRedraws) {
    std::vector<std::uint32_t> apparent(
        m_pane->Bits(), m_pane->Bits() + m_pane->PictureWidth() * m_pane->PictureHeight());
    m_pane->SetSizeMode(SizeMode::OnDisk);
    EXPECT_TRUE(ShowsExpected());
    EXPECT_FALSE(std::equal(apparent.begin(), apparent.end(), m_pane->Bits()));
    m_pane->SetList(nullptr);
    EXPECT_EQ(m_pane->Bits(), nullptr);
    EXPECT_EQ(TextOf(m_pane->Window()), L"Treemap");
}

TEST_F(TreemapWindowTest, BackgroundPictureLeavesTheWindowAnswering) {
    CSignal entered, release;
    m_pane->RenderQueue().SetBackgroundCost(0);
    m_pane->RenderQueue().SetWorkerGate([&] {
        entered.Raise();
        release.Wait();
    });
    const int before = m_pane->PictureWidth();
    ::MoveWindow(m_pane->Window(), 10, 10, 500, 360, TRUE);  // returns while the worker is held
    ASSERT_TRUE(m_pane->IsRendering());
    entered.Wait();
    m_pane->RenderQueue().SetWorkerGate({});  // holds this picture only
    EXPECT_TRUE(m_pane->IsRendering());
    EXPECT_EQ(m_pane->PictureWidth(), before);
    const RECT map = m_pane->MapRect();
    EXPECT_NE(m_pane->IndexAt({(map.left + map.right) / 2, (map.top + map.bottom) / 2}), kNoNode);
    release.Raise();
    ASSERT_TRUE(PumpUntil([&] { return m_pane->PictureWidth() == 500; }));
    EXPECT_TRUE(ShowsExpected());
}

}  // namespace
}  // namespace sizewalk
