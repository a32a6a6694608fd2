#include "platform/home_dir.h"

namespace sizewalk {

// Windows shells give "~" no meaning, so a typed "~" stays a name.
std::string HomeDirectory() { return {}; }

}  // namespace sizewalk
