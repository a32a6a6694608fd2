// The options of a command-line program, declared once: each with its names
// ("-o", "--threads" or "-h, --help"), whether it takes a value, the variable
// the value lands in and a line of help. From the declarations come the
// parse of argv, the errors and the option part of the help.
//
// Promises:
// - an option's value is the next argument whatever it looks like ("-o -"),
//   or follows "=" in a long option ("--threads=4");
// - a value is checked in full: "4x", "", a number outside the declared
//   range or a word outside the choices is an error, never a partial value;
// - a repeated option takes its last value;
// - "-" and everything after "--" are positional arguments;
// - the first error ends the parse; its text names the option as typed and
//   leaves the program's name and the exit status to the program;
// - a stopping option (help, version) ends the parse at once, successfully,
//   whatever follows it.

#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sizewalk {

class CCommandLine {
public:
    enum class Error { None, UnknownOption, MissingValue, BadValue };

    struct Result {
        Error eError = Error::None;
        std::string strError;  // e.g. "--threads takes 1 to 1024"
        std::vector<std::string> positional;
        bool bStopped = false;  // a stopping option was met
        explicit operator bool() const { return eError == Error::None; }
    };

    // Reads a value into its target; false when the value is not one it takes.
    using Reader = std::function<bool(const std::string& value)>;

    // An option without a value: sets `target` when given.
    CCommandLine& Flag(const std::string& names, bool& target, std::string help = {});
    // The same, and the parse ends there (help, version).
    CCommandLine& Stop(const std::string& names, bool& target, std::string help = {});
    CCommandLine& Text(const std::string& names, std::string valueName, std::string& target,
                       std::string help = {});
    // A whole decimal number from `lo` to `hi`.
    CCommandLine& Integer(const std::string& names, std::string valueName, int& target, int lo,
                          int hi, std::string help = {});
    // A finite decimal number of at least `lo` ("0.5", "2").
    CCommandLine& Decimal(const std::string& names, std::string valueName, double& target,
                          double lo, std::string help = {});
    // One of the words; `valueName` lists them for the help ("mb|kb|bytes").
    template <class T, class V>
    CCommandLine& Choice(const std::string& names, std::string valueName, T& target,
                         std::vector<std::pair<std::string, V>> words, std::string help = {}) {
        return Value(
            names, std::move(valueName),
            [&target, words = std::move(words)](const std::string& value) {
                for (const auto& word : words)
                    if (word.first == value) {
                        target = word.second;
                        return true;
                    }
                return false;
            },
            std::move(help));
    }
    // Any other kind of value; a value `read` refuses is reported as
    // "NAME takes VALUENAME".
    CCommandLine& Value(const std::string& names, std::string valueName, Reader read,
                        std::string help = {});

    // The arguments after the program's name.
    Result Parse(const std::vector<std::string>& args) const;

    // "[-o FILE] [-c] [--threads N]": the options that do not stop the parse.
    std::string Synopsis() const;
    // One line per option, help aligned: "  -o FILE       write to FILE\n".
    std::string Table() const;

private:
    struct Option {
        std::vector<std::string> names;
        std::string strValueName;  // empty: no value
        std::string strTakes;      // what an error says it takes
        Reader read;
        bool bStops = false;
        std::string strHelp;
    };
    CCommandLine& Add(Option option, const std::string& names);
    const Option* Find(const std::string& name) const;
    static std::string Label(const Option& option);

    std::vector<Option> m_options;
};

}  // namespace sizewalk
