#pragma once
// The one way the scan command reports to the user: a blocking message box
// with an OK button, owned by the dialog, captioned with the application name.

#include <string_view>

namespace sizewalk {

enum class MessageIcon { None, Warning };

class CMessageBox {
public:
    virtual ~CMessageBox() = default;
    // Returns once the user has dismissed the box.
    virtual void Show(std::string_view text, MessageIcon icon) = 0;
};

}  // namespace sizewalk
