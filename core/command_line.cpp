#include "core/command_line.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sizewalk {

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t comma; (comma = names.find(", ", from)) != std::string::npos; from = comma + 2)
        out.push_back(names.substr(from, comma - from));
    out.push_back(names.substr(from));
    return out;
}

}  // namespace

CCommandLine& CCommandLine::Add(Option option, const std::string& names) {
    option.names = SplitNames(names);
    m_options.push_back(std::move(option));
    return *this;
}

CCommandLine& CCommandLine::Flag(const std::string& names, bool& target, std::string help) {
    Option o;
    o.read = [&target](const std::string&) { return target = true; };
    o.strHelp = std::move(help);
    return Add(std::move(o), names);
}

CCommandLine& CCommandLine::Stop(const std::string& names, bool& target, std::string help) {
    Flag(names, target, std::move(help));
    m_options.back().bStops = true;
    return *this;
}

CCommandLine& CCommandLine::Text(const std::string& names, std::string valueName,
                                 std::string& target, std::string help) {
    return Value(
        names, std::move(valueName),
        [&target](const std::string& value) {
            target = value;
            return true;
        },
        std::move(help));
}

CCommandLine& CCommandLine::Integer(const std::string& names, std::string valueName, int& target,
                                    int lo, int hi, std::string help) {
    Value(
        names, std::move(valueName),
        [&target, lo, hi](const std::string& value) {
            // strtoll alone would take " 4", "+4" and an empty string.
            if (value.empty() || !(std::isdigit(static_cast<unsigned char>(value[0])) ||
                                   (value[0] == '-' && value.size() > 1)))
                return false;
            errno = 0;
            char* end = nullptr;
            const long long n = std::strtoll(value.c_str(), &end, 10);
            if (errno == ERANGE || *end || n < lo || n > hi) return false;
            target = static_cast<int>(n);
            return true;
        },
        std::move(help));
    m_options.back().strTakes = std::to_string(lo) + " to " + std::to_string(hi);
    return *this;
}

CCommandLine& CCommandLine::Decimal(const std::string& names, std::string valueName, double& target,
                                    double lo, std::string help) {
    Value(
        names, std::move(valueName),
        [&target, lo](const std::string& value) {
            if (value.empty() || std::isspace(static_cast<unsigned char>(value[0]))) return false;
            char* end = nullptr;
            const double n = std::strtod(value.c_str(), &end);
            if (*end || !std::isfinite(n) || n < lo) return false;
            target = n;
            return true;
        },
        std::move(help));
    char text[64];
    std::snprintf(text, sizeof text, "a number of at least %g", lo);
    m_options.back().strTakes = text;
    return *this;
}

CCommandLine& CCommandLine::Value(const std::string& names, std::string valueName, Reader read,
                                  std::string help) {
    Option o;
    o.strTakes = valueName;
    o.strValueName = std::move(valueName);
    o.read = std::move(read);
    o.strHelp = std::move(help);
    return Add(std::move(o), names);
}

const CCommandLine::Option* CCommandLine::Find(const std::string& name) const {
    for (const Option& o : m_options)
        if (std::find(o.names.begin(), o.names.end(), name) != o.names.end()) return &o;
    return nullptr;
}

CCommandLine::Result CCommandLine::Parse(const std::vector<std::string>& args) const {
    Result r;
    auto fail = [&r](Error error, std::string text) {
        r.eError = error;
        r.strError = std::move(text);
        return r;
    };
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!onlyPositional && a == "--") {
            onlyPositional = true;
            continue;
        }
        if (onlyPositional || a.size() < 2 || a[0] != '-') {
            r.positional.push_back(a);
            continue;
        }
        std::string name = a, value;
        bool inlineValue = false;
        if (a.compare(0, 2, "--") == 0) {
            const std::size_t eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
                inlineValue = true;
            }
        }
        const Option* o = Find(name);
        if (!o) return fail(Error::UnknownOption, "unknown option " + a);
        if (o->strValueName.empty()) {
            if (inlineValue) return fail(Error::BadValue, name + " takes no value");
            o->read(value);
            if (o->bStops) {
                r.bStopped = true;
                return r;
            }
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) return fail(Error::MissingValue, name + " needs a value");
            value = args[++i];
        }
        if (!o->read(value)) return fail(Error::BadValue, name + " takes " + o->strTakes);
    }
    return r;
}

std::string CCommandLine::Label(const Option& option) {
    std::string label;
    for (const std::string& name : option.names) label += (label.empty() ? "" : ", ") + name;
    if (!option.strValueName.empty()) label += " " + option.strValueName;
    return label;
}

std::string CCommandLine::Synopsis() const {
    std::string out;
    for (const Option& o : m_options) {
        if (o.bStops) continue;
        if (!out.empty()) out += ' ';
        out += "[" + o.names.front();
        if (!o.strValueName.empty()) out += " " + o.strValueName;
        out += "]";
    }
    return out;
}

std::string CCommandLine::Table() const {
    std::size_t width = 0;
    for (const Option& o : m_options) width = std::max(width, Label(o).size());
    std::string out;
    for (const Option& o : m_options) {
        const std::string label = Label(o);
        out += "  " + label;
        if (!o.strHelp.empty()) out += std::string(width + 3 - label.size(), ' ') + o.strHelp;
        out += "\n";
    }
    return out;
}

}  // namespace sizewalk
