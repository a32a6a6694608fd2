#include "model/file_type.h"

#include <algorithm>

namespace sizewalk {

FileType FileTypeOfName(std::string_view name) {
    FileType type;
    const bool hidden = !name.empty() && name.front() == '.';
    const std::string_view ext = FileKindExtension(name);
    const bool valid =
        !ext.empty() && ext.size() <= kMaxExtension && ext.find(' ') == std::string_view::npos;
    type.eClass = hidden  ? FileTypeClass::Hidden
                  : valid ? FileTypeClass::Extension
                          : FileTypeClass::NoExtension;
    if (!valid) return type;
    for (char c : ext) {
        type.szExtension[type.nLength++] =
            c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return type;
}

bool FileTypeFilter::Matches(std::string_view name) const {
    const FileType type = FileTypeOfName(name);
    if (type.Kind() != kind) return false;
    switch (eClass) {
        case FileTypeClass::Kind:
            return true;
        case FileTypeClass::Extension:
            return type.eClass == FileTypeClass::Extension && type.Extension() == strExtension;
        case FileTypeClass::NoExtension:
        case FileTypeClass::Hidden:
            break;
    }
    return type.eClass == eClass;
}

}  // namespace sizewalk
