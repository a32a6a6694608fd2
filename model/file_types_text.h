#pragma once
// File Types as text: a table for people and JSON for programs, in the
// order the types are sorted. Sizes are exact bytes. An extension's bytes
// outside printable ASCII are written escaped one by one ("\xff" in the
// table, "\u00ff" in JSON), so that no name can break a line or a string.
//
// The table:
//   Kind / type                      Files             Size   Share  Colour
//   Images                               4           62,040   93.1%  #D04FD0
//     .png                               2           60,000   90.1%
//     (hidden)                           1               40    0.1%
// JSON: {"mode": "apparent", "total": N, "files": N, "kinds": [{"kind":
// "Images", "color": "#D04FD0", "files": N, "size": N, "share": 0.931,
// "types": [{"extension": "png", ...}, {"type": "no extension", ...},
// {"type": "hidden", ...}]}]} on one line.

#include <string>

#include "model/file_types.h"

namespace sizewalk {

std::string FileTypesTable(const CFileTypes& types);
std::string FileTypesJson(const CFileTypes& types);

}  // namespace sizewalk
