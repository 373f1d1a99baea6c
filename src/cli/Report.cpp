#include "Report.h"

#include "ChangeRecord.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zx {

void Report::Line(std::string_view label, std::string_view text) {
    Text_ += Pad(label);
    Text_ += text;
    Text_ += '\n';
}

std::string Report::Pad(std::string_view label) {
    std::size_t width = 0;
    for (const char c : label) {
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return std::string(label) + std::string(width < 24 ? 24 - width : 1, ' ');
}

int Report::Print(int exit, const std::string& error) {
    if (Json_) {
        Json out = {{"schema", CliSchema}};
        for (auto& [key, value] : Object_.items()) {
            out[key] = value;
        }
        out["exit"] = exit;
        if (exit != 0) {
            out["error"] = error;
        }
        std::fputs((JsonText(out) + "\n").c_str(), stdout);
    } else {
        std::fputs(Text_.c_str(), stdout);
    }
    if (exit != 0) {
        std::fprintf(stderr, "zentrix-cli: %s\n", error.c_str());
    }
    std::string reason;
    if (OutputFailed(reason)) {
        std::fprintf(stderr, "zentrix-cli: the output could not be written: %s\n", reason.c_str());
        return exit != 0 ? exit : 7;
    }
    return exit;
}

std::string SafeText(std::string_view latin1) {
    std::string out;
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0) || b == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, b == '\\' ? "\\\\" : "\\x%02x", b);
            out += escaped;
        } else {
            out += Latin1ToUtf8(std::string_view(&c, 1));
        }
    }
    return out;
}

bool OutputFailed(std::string& reason) {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return false;
    }
    reason = errno != 0 ? std::strerror(errno) : "write error";
    return true;
}

} // namespace zx
