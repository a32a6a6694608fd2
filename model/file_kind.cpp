#include "model/file_kind.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace sizewalk {
namespace {

// Extensions of up to 8 bytes, lower case, packed little end first into one
// word so that a look-up is a binary search over integers.
constexpr std::uint64_t Pack(std::string_view ext) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < ext.size(); ++i)
        key |= static_cast<std::uint64_t>(static_cast<unsigned char>(ext[i])) << (8 * i);
    return key;
}

struct KindEntry {
    std::uint64_t nKey;
    FileKind kind;
};

struct ExtGroup {
    FileKind kind;
    std::string_view exts;  // space separated
};

constexpr ExtGroup kGroups[] = {
    {FileKind::Image,
     "png jpg jpeg jpe jfif gif bmp tif tiff webp svg svgz ico icns xpm xbm pbm pgm ppm pnm "
     "tga psd xcf heic heif avif jxl raw cr2 cr3 nef arw dng orf rw2 exr hdr eps cur ani dds"},
    {FileKind::Video,
     "mp4 m4v mkv webm avi mov wmv flv mpg mpeg mpe m2ts mts vob ogv 3gp 3g2 rm rmvb asf divx"},
    {FileKind::Audio,
     "mp3 wav flac ogg oga opus m4a aac wma aif aiff aifc mid midi ape alac au snd mka ac3 dts "
     "amr caf sf2"},
    {FileKind::Archive,
     "zip 7z rar tar gz tgz bz2 tbz tbz2 xz txz lz lzma lz4 zst tzst z cab arj lzh iso img dmg "
     "deb rpm apk jar war ear whl egg cpio ar pak vhd vhdx vmdk qcow2 wim msi snap"},
    {FileKind::Document,
     "pdf doc docx dot dotx odt ods odp odg rtf txt text md markdown rst tex ltx xls xlsx xlsm "
     "ppt pptx pps ppsx csv tsv epub mobi djvu ps chm pages numbers key man info nfo log "
     "htm html xhtml mht"},
    {FileKind::Source,
     "c h cc cpp cxx c++ hh hpp hxx h++ inl ipp m mm cs java kt kts scala go rs swift py pyi pyx "
     "rb pl pm php js mjs cjs ts tsx jsx css scss sass less lua r jl hs ml mli fs fsx ex exs erl "
     "clj dart vb vbs pas asm s sh bash zsh fish ps1 bat cmd cmake mk make sql json yaml yml "
     "toml xml xsd xsl ini cfg conf proto el vim tcl awk sed qml ui in am ac patch diff"},
    {FileKind::Program,
     "exe dll sys so a o obj lib dylib bundle com scr ocx drv cpl mui efi elf bin out pyc pyo "
     "class dex ko appimage node wasm pdb"},
};

constexpr std::size_t CountExtensions() {
    std::size_t n = 0;
    for (const ExtGroup& g : kGroups) {
        bool inWord = false;
        for (char c : g.exts) {
            if (c != ' ' && !inWord) ++n;
            inWord = c != ' ';
        }
    }
    return n;
}

using KindTable = std::array<KindEntry, CountExtensions()>;

KindTable BuildTable() {
    KindTable table{};
    std::size_t n = 0;
    for (const ExtGroup& g : kGroups) {
        std::string_view rest = g.exts;
        while (!rest.empty()) {
            std::size_t space = rest.find(' ');
            std::string_view word = rest.substr(0, space);
            if (!word.empty()) table[n++] = {Pack(word), g.kind};
            rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
        }
    }
    // Sorted by key; an extension listed twice keeps its first group.
    std::stable_sort(table.begin(), table.end(),
                     [](const KindEntry& a, const KindEntry& b) { return a.nKey < b.nKey; });
    return table;
}

const KindTable& Table() {
    static const KindTable table = BuildTable();
    return table;
}

FileKind LookUp(std::string_view ext) {
    if (ext.empty() || ext.size() > 8) return FileKind::Other;
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < ext.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(ext[i]);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        key |= static_cast<std::uint64_t>(c) << (8 * i);
    }
    const KindTable& table = Table();
    auto it = std::lower_bound(table.begin(), table.end(), key,
                               [](const KindEntry& e, std::uint64_t k) { return e.nKey < k; });
    return it != table.end() && it->nKey == key ? it->kind : FileKind::Other;
}

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string_view FileKindExtension(std::string_view name) {
    std::size_t dot = name.rfind('.');
    // No extension, or a hidden file's leading dot only (".bashrc").
    if (dot == std::string_view::npos || dot == 0) return {};
    std::string_view ext = name.substr(dot + 1);
    if (AllDigits(ext)) {
        // "libfoo.so.1.2.3": skip the numeric version parts back to ".so".
        std::string_view stem = name.substr(0, dot);
        while (true) {
            std::size_t d = stem.rfind('.');
            if (d == std::string_view::npos || d == 0) break;
            std::string_view part = stem.substr(d + 1);
            if (part == "so") return part;
            if (!AllDigits(part)) break;
            stem = stem.substr(0, d);
        }
    }
    return ext;
}

FileKind FileKindOfExtension(std::string_view ext) { return LookUp(ext); }

FileKind ClassifyFileName(std::string_view name) { return LookUp(FileKindExtension(name)); }

std::string_view FileKindLabel(FileKind kind) {
    switch (kind) {
        case FileKind::Image:
            return "Images";
        case FileKind::Video:
            return "Video";
        case FileKind::Audio:
            return "Audio";
        case FileKind::Archive:
            return "Archives";
        case FileKind::Document:
            return "Documents";
        case FileKind::Source:
            return "Source code";
        case FileKind::Program:
            return "Programs and libraries";
        case FileKind::Other:
            break;
    }
    return "Other";
}

}  // namespace sizewalk
