// The Windows dialog template, read from res/sizewalk.rc as text, against
// the layout table both dialogs place their controls from: the same
// controls, ids, places and sizes, in the same order. The Windows tests
// check the built program's template too; this one runs without Wine.
#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/dialog_layout.h"

namespace sizewalk {
namespace {

std::string ReadText(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The resource header's numeric #define lines: name to value.
std::map<std::string, int> Defines() {
    std::map<std::string, int> values;
    std::istringstream text(ReadText(SIZEWALK_RESOURCE_H));
    for (std::string line; std::getline(text, line);) {
        std::istringstream words(line);
        std::string directive, name, value;
        if (!(words >> directive >> name >> value) || directive != "#define") continue;
        if (value.front() == '(') value.erase(0, 1);  // (-1)
        int number = 0;
        if (std::from_chars(value.data(), value.data() + value.size(), number).ec == std::errc{})
            values[name] = number;
    }
    return values;
}

// A statement's arguments, split at the commas outside quotes and trimmed.
std::vector<std::string> Arguments(const std::string& s) {
    std::vector<std::string> args(1);
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            args.emplace_back();
        } else if (!std::isspace(static_cast<unsigned char>(c)) || !args.back().empty()) {
            args.back() += c;
        }
    }
    for (std::string& a : args)
        while (!a.empty() && std::isspace(static_cast<unsigned char>(a.back()))) a.pop_back();
    return args;
}

TEST(DialogTemplate, MatchesTheLayoutTable) {
    const std::map<std::string, int> ids = Defines();
    ASSERT_EQ(ids.at("IDD_SIZEWALK_DIALOG"), 102);
    std::istringstream rc(ReadText(SIZEWALK_RC));
    std::string line;
    while (std::getline(rc, line) && line.rfind("IDD_SIZEWALK_DIALOG DIALOGEX ", 0) != 0) {
    }
    ASSERT_FALSE(rc.eof()) << "no dialog template in " << SIZEWALK_RC;
    const auto frame = Arguments(line.substr(line.find("DIALOGEX") + 8));
    ASSERT_EQ(frame.size(), 4u) << line;
    EXPECT_EQ(std::stoi(frame[2]), kDialogWidth);
    EXPECT_EQ(std::stoi(frame[3]), kDialogHeight);
    while (std::getline(rc, line) && line != "BEGIN") {
    }

    // One statement a line, or more when its lines after the first are
    // indented deeper.
    std::vector<std::string> statements;
    while (std::getline(rc, line) && line != "END") {
        if (line.rfind("     ", 0) == 0 && !statements.empty())
            statements.back() += ' ' + line;
        else
            statements.push_back(line);
    }
    ASSERT_EQ(line, "END");
    ASSERT_EQ(statements.size(), std::size(kControls));
    for (std::size_t i = 0; i < statements.size(); ++i) {
        std::istringstream words(statements[i]);
        std::string keyword;
        words >> keyword;
        std::string rest;
        std::getline(words, rest);
        const std::vector<std::string> args = Arguments(rest);
        // EDITTEXT has no text; CONTROL names its class and style before
        // the rectangle.
        const std::size_t idAt = keyword == "EDITTEXT" ? 0 : 1;
        const std::size_t rectAt = keyword == "CONTROL" ? 4 : idAt + 1;
        ASSERT_GE(args.size(), rectAt + 4) << statements[i];
        const auto id = ids.find(args[idAt]);
        ASSERT_NE(id, ids.end()) << args[idAt] << " is not in the resource header";
        const ControlRect& want = kControls[i];
        EXPECT_EQ(std::tuple(id->second, std::stoi(args[rectAt]), std::stoi(args[rectAt + 1]),
                             std::stoi(args[rectAt + 2]), std::stoi(args[rectAt + 3])),
                  std::tuple(want.id, want.x, want.y, want.w, want.h))
            << statements[i];
    }
}

}  // namespace
}  // namespace sizewalk
