#include "Arguments.h"

#include <QCommandLineParser>

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace zx {
namespace {

// The options by name, each with the member of o that it sets.
std::vector<std::pair<const char*, std::optional<std::string>*>> Valued(Options& o) {
    return {{"com", &o.Com},   {"range", &o.Range},   {"min", &o.Min},
            {"max", &o.Max},   {"invert", &o.Invert}, {"value", &o.Value},
            {"code", &o.Code}, {"since", &o.Since},   {"until", &o.Until}};
}
std::vector<std::pair<const char*, bool*>> Flags(Options& o) {
    return {{"json", &o.Json}, {"trace", &o.Trace},     {"no-record", &o.NoRecord},
            {"full", &o.Full}, {"program", &o.Program}, {"write", &o.Write},
            {"csv", &o.Csv},   {"help", &o.Help},       {"version", &o.Version}};
}

// Each command: its words (the command included) and the options it takes besides --json.
struct Shape {
    std::size_t Words;
    std::set<std::string> Takes;
};
const std::map<std::string, Shape>& Shapes() {
    static const std::set<std::string> line = {"com", "trace", "no-record"};
    static const auto with = [](std::set<std::string> more) {
        more.insert(line.begin(), line.end());
        return more;
    };
    static const std::map<std::string, Shape> shapes = {
        {"ports", {1, {}}},
        {"records", {1, {"since", "until", "csv"}}},
        {"read", {1, with({})}},
        {"input", {1, with({"range", "min", "max", "program"})}},
        {"output", {1, with({"range", "min", "max", "invert", "program"})}},
        {"mode", {2, with({"full"})}},
        {"calibrate", {3, with({"full", "range", "value"})}},
        {"dac", {2, with({"full", "range", "code", "write"})}},
        {"clear-flags", {2, with({"full"})}},
    };
    return shapes;
}

} // namespace

bool ValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c < 0x80           ? 1
                              : (c >> 5) == 0x6  ? 2
                              : (c >> 4) == 0xE  ? 3
                              : (c >> 3) == 0x1E ? 4
                                                 : 0;
        if (n == 0 || (n == 2 && c < 0xC2) || i + n > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

std::optional<Options> ParseArguments(const std::vector<std::string>& arguments,
                                      std::string& problem) {
    QStringList list{QStringLiteral("zentrix-cli")};
    for (const std::string& argument : arguments) {
        if (!ValidUtf8(argument)) {
            problem = "an argument is not UTF-8 text";
            return std::nullopt;
        }
        list << QString::fromStdString(argument);
    }
    Options o;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const auto& [name, member] : Valued(o)) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, "value"));
    }
    for (const auto& [name, member] : Flags(o)) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }
    if (!parser.parse(list)) {
        problem = parser.errorText().toStdString();
        return std::nullopt;
    }
    std::map<std::string, int> given;
    for (const QString& name : parser.optionNames()) {
        if (++given[name.toStdString()] == 2) {
            problem = "--" + name.toStdString() + " is given twice";
            return std::nullopt;
        }
    }
    for (const auto& [name, member] : Valued(o)) {
        if (parser.isSet(QString::fromLatin1(name))) {
            *member = parser.value(QString::fromLatin1(name)).toStdString();
        }
    }
    for (const auto& [name, member] : Flags(o)) {
        *member = parser.isSet(QString::fromLatin1(name));
    }
    for (const QString& word : parser.positionalArguments()) {
        o.Words.push_back(word.toStdString());
    }
    if (o.Help || o.Version) {
        return o;
    }
    if (o.Words.empty()) {
        problem = "no command given";
        return std::nullopt;
    }
    const auto shape = Shapes().find(o.Words[0]);
    if (shape == Shapes().end()) {
        problem = "unknown command \"" + o.Words[0] + "\"";
        return std::nullopt;
    }
    for (const auto& [name, count] : given) {
        if (name != "json" && !shape->second.Takes.contains(name)) {
            problem = "\"" + o.Words[0] + "\" does not take --" + name;
            return std::nullopt;
        }
    }
    if (o.Words.size() > shape->second.Words) {
        problem = "\"" + o.Words[0] + "\" does not take \"" + o.Words[shape->second.Words] + "\"";
        return std::nullopt;
    }
    if (o.Words.size() < shape->second.Words) {
        problem = "\"" + o.Words[0] + "\" needs " + std::to_string(shape->second.Words - 1) +
                  (shape->second.Words == 2 ? " word" : " words") + " after it";
        return std::nullopt;
    }
    return o;
}

} // namespace zx
