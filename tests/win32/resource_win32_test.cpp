// Reads the resources back from the built sizewalk.exe, as Windows itself
// loads them: dialog template 102 control by control, icon 128 with its
// three images, the version block through the version API, and the
// application manifest.
//   resource_win32_tests PATH\TO\sizewalk.exe [gtest options]
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "core/dialog_layout.h"
#include "res/resource.h"

namespace sizewalk {
namespace {

std::string g_exe;

// Walks the bytes of an extended dialog template.
class TemplateReader {
public:
    TemplateReader(const void* data, std::size_t size)
        : m_p(static_cast<const unsigned char*>(data)), m_size(size) {}
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }
    BYTE Byte() { return Read<BYTE>(); }
    // A UTF-16 string, or an ordinal written as "#n".
    std::string SzOrOrd() {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return Sz();
    }
    std::string Sz() {
        std::string s;
        for (WORD c; (c = Word()) != 0;) s += c < 0x80 ? static_cast<char>(c) : '?';
        return s;
    }
    void AlignDword() { m_at = (m_at + 3) & ~std::size_t{3}; }
    void Skip(std::size_t n) { m_at += n; }
    bool Failed() const { return m_failed; }

private:
    WORD Peek() {
        WORD w = 0;
        if (m_at + 2 <= m_size) std::memcpy(&w, m_p + m_at, 2);
        return w;
    }
    template <typename T>
    T Read() {
        T v{};
        if (m_at + sizeof v > m_size) {
            m_failed = true;
            return v;
        }
        std::memcpy(&v, m_p + m_at, sizeof v);
        m_at += sizeof v;
        return v;
    }
    const unsigned char* m_p;
    std::size_t m_size;
    std::size_t m_at = 0;
    bool m_failed = false;
};

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = ::LoadLibraryExA(g_exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_module, nullptr) << g_exe << " error " << ::GetLastError();
    }
    void TearDown() override {
        if (m_module) ::FreeLibrary(m_module);
    }
    std::vector<unsigned char> Resource(LPCSTR type, int id) const {
        HRSRC info = ::FindResourceA(m_module, MAKEINTRESOURCEA(id), type);
        if (!info) return {};
        HGLOBAL loaded = ::LoadResource(m_module, info);
        const auto* p = static_cast<const unsigned char*>(::LockResource(loaded));
        return std::vector<unsigned char>(p, p + ::SizeofResource(m_module, info));
    }

    HMODULE m_module = nullptr;
};

struct Control {
    DWORD id;
    std::string cls, text;
    DWORD style;
    short x, y, cx, cy;
};

bool operator==(const Control& a, const Control& b) {
    return a.id == b.id && a.cls == b.cls && a.text == b.text && a.style == b.style && a.x == b.x &&
           a.y == b.y && a.cx == b.cx && a.cy == b.cy;
}

void PrintTo(const Control& c, std::ostream* os) {
    *os << "{id " << static_cast<int>(c.id) << ", " << c.cls << ", \"" << c.text << "\", style 0x"
        << std::hex << c.style << std::dec << ", " << c.x << "," << c.y << "," << c.cx << ","
        << c.cy << "}";
}

TEST_F(ProgramResources, DialogTemplate102) {
    const auto data = Resource(MAKEINTRESOURCEA(5) /* RT_DIALOG */, IDD_SIZEWALK_DIALOG);
    ASSERT_FALSE(data.empty());
    TemplateReader r(data.data(), data.size());
    EXPECT_EQ(r.Word(), 1);       // extended template, version 1
    EXPECT_EQ(r.Word(), 0xFFFF);  // its signature
    EXPECT_EQ(r.Dword(), 0u);     // help id
    EXPECT_EQ(r.Dword(), static_cast<DWORD>(WS_EX_APPWINDOW));
    // The template's frame, with a sizing border: the window can grow.
    EXPECT_EQ(r.Dword(), static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE |
                                            WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
    const WORD count = r.Word();
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), kDialogWidth);
    EXPECT_EQ(r.Short(), kDialogHeight);
    EXPECT_EQ(r.SzOrOrd(), "");  // no menu
    EXPECT_EQ(r.SzOrOrd(), "");  // the standard dialog class
    EXPECT_EQ(r.Sz(), "Sizewalk");
    EXPECT_EQ(r.Word(), 8);  // points
    EXPECT_EQ(r.Word(), 0);  // weight: normal
    EXPECT_EQ(r.Byte(), 0);  // not italic
    r.Byte();                // character set
    EXPECT_EQ(r.Sz(), "MS Sans Serif");

    std::vector<Control> controls;
    for (WORD i = 0; i < count && !r.Failed(); ++i) {
        r.AlignDword();
        Control c;
        EXPECT_EQ(r.Dword(), 0u);  // help id
        EXPECT_EQ(r.Dword(), 0u);  // extended style
        c.style = r.Dword();
        c.x = r.Short();
        c.y = r.Short();
        c.cx = r.Short();
        c.cy = r.Short();
        c.id = r.Dword();
        c.cls = r.SzOrOrd();
        for (char& ch : c.cls) ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
        c.text = r.SzOrOrd();
        r.Skip(r.Word());  // creation data: none expected
        controls.push_back(c);
    }
    ASSERT_FALSE(r.Failed());
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD none = static_cast<DWORD>(-1);
    // Predefined classes are stored as ordinals: 0x80 button, 0x81 edit, 0x82
    // static. Class names are case-blind, compared here in capitals.
    const std::vector<Control> expected = {
        {IDOK, "#128", "OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 207, 7, 50, 14},
        {IDCANCEL, "#128", "Cancel", child | BS_PUSHBUTTON | WS_TABSTOP, 207, 23, 50, 14},
        {IDC_TREE, "SYSTREEVIEW32", "Tree1",
         child | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | WS_BORDER | WS_TABSTOP, 10, 54,
         180, 148},
        {IDC_START_DIR, "#129", "", child | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 57, 14, 130,
         14},
        {none, "#130", "Start from:", child | SS_LEFT | WS_GROUP, 21, 18, 33, 8},
        {IDC_SHOW_FILES, "#128", "Show Files", child | BS_AUTOCHECKBOX | WS_TABSTOP, 201, 135, 50,
         10},
        {none, "#128", "Display", child | BS_GROUPBOX | BS_LEFT | WS_GROUP, 201, 51, 53, 66},
        {IDC_UNITS_MB, "#128", "MB", child | BS_AUTORADIOBUTTON | WS_GROUP, 206, 62, 27, 10},
        {IDC_UNITS_KB, "#128", "KB", child | BS_AUTORADIOBUTTON, 206, 76, 25, 10},
        {IDC_UNITS_BYTES, "#128", "Bytes", child | BS_AUTORADIOBUTTON, 206, 90, 33, 10},
    };
    EXPECT_EQ(controls, expected);

    // Both dialogs place their controls from the layout table: it must be
    // the template's, control by control and in the same order.
    ASSERT_EQ(controls.size(), std::size(kControls));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& got = controls[i];
        const ControlRect& want = kControls[i];
        EXPECT_EQ(
            std::tuple(static_cast<int>(got.id), int{got.x}, int{got.y}, int{got.cx}, int{got.cy}),
            std::tuple(want.id, want.x, want.y, want.w, want.h))
            << "control " << i << " (" << got.text << ")";
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, Icon128HoldsThreeImages) {
    const auto group = Resource(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, IDR_MAINFRAME);
    ASSERT_GE(group.size(), 6u);
    WORD header[3];
    std::memcpy(header, group.data(), sizeof header);
    EXPECT_EQ(header[0], 0);  // reserved
    EXPECT_EQ(header[1], 1);  // icons, not cursors
    ASSERT_EQ(header[2], 3);
    ASSERT_EQ(group.size(), 6 + 3 * sizeof(GroupIconEntry));
    struct Expected {
        int size, colours, bits;
    };
    const Expected expected[] = {{16, 16, 4}, {32, 16, 4}, {48, 0 /* 256 */, 8}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        GroupIconEntry e;
        std::memcpy(&e, group.data() + 6 + i * sizeof e, sizeof e);
        EXPECT_EQ(e.width, expected[i].size);
        EXPECT_EQ(e.height, expected[i].size);
        EXPECT_EQ(e.colorCount, expected[i].colours);
        EXPECT_EQ(e.bitCount, expected[i].bits);
        // The image itself: a bitmap of that size and depth (height doubled
        // for the mask), which the system turns into an icon.
        auto image = Resource(MAKEINTRESOURCEA(3) /* RT_ICON */, e.id);
        ASSERT_EQ(image.size(), e.bytes);
        BITMAPINFOHEADER bih;
        ASSERT_GE(image.size(), sizeof bih);
        std::memcpy(&bih, image.data(), sizeof bih);
        EXPECT_EQ(bih.biWidth, expected[i].size);
        EXPECT_EQ(bih.biHeight, 2 * expected[i].size);
        EXPECT_EQ(bih.biBitCount, expected[i].bits);
        HICON icon = ::CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()),
                                                TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr);
        if (icon) ::DestroyIcon(icon);
    }
}

// The application manifest, as the system reads it at process start.
TEST_F(ProgramResources, ManifestAsksForModernBehaviour) {
    const auto data = Resource(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, 1);
    ASSERT_FALSE(data.empty());
    const std::string xml(data.begin(), data.end());
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u);
    EXPECT_NE(xml.find("</assembly>"), std::string::npos);
    for (const char* wanted : {
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
             "publicKeyToken=\"6595b64144ccf1df\"",
             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
             ">PerMonitorV2, PerMonitor</dpiAwareness>",
             ">true/pm</dpiAware>",
             ">true</longPathAware>",
             "level=\"asInvoker\"",
         })
        EXPECT_NE(xml.find(wanted), std::string::npos) << wanted;
}

std::string VersionString(const std::vector<char>& block, const std::string& path) {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), path.c_str(), &value, &length) || !value) return "<none>";
    return std::string(static_cast<const char*>(value));
}

TEST_F(ProgramResources, VersionBlock) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(g_exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(g_exe.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);  // 1.0
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);  // .0.1
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);  // no debug or pre-release flag

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);              // exactly one language and code page
    EXPECT_EQ(translation[0], 0x0409);  // U.S. English
    EXPECT_EQ(translation[1], 1200);    // Unicode

    const std::string strings = "\\StringFileInfo\\040904b0\\";
    const std::pair<const char*, const char*> expected[] = {
        {"FileVersion", "1, 0, 0, 1"},
        {"ProductVersion", "1, 0, 0, 1"},
        {"InternalName", "SIZEWALK"},
        {"OriginalFilename", "SIZEWALK.EXE"},
        {"ProductName", "SIZEWALK Application"},
        {"FileDescription", "SIZEWALK MFC Application"},
    };
    for (auto [name, value] : expected)
        EXPECT_EQ(VersionString(block, strings + name), value) << name;
}

}  // namespace
}  // namespace sizewalk

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH\\TO\\sizewalk.exe\n", argv[0]);
        return 2;
    }
    sizewalk::g_exe = argv[1];
    if (sizewalk::g_exe.front() == '/') sizewalk::g_exe = "Z:" + sizewalk::g_exe;  // a Unix path
    return RUN_ALL_TESTS();
}
