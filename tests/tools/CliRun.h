// Runs the command-line renderer as a user does and collects what it prints.
#pragma once

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <string>

struct CliRun {
    int status;
    std::string out;  // standard output and error together
};

inline CliRun runRenderer(const std::string& args) {
    std::string cmd = std::string(VEMARO_RENDER_PATH) + " " + args + " 2>&1";
    CliRun r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}
