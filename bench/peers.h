#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varnelo::bench {

struct ToolRun {
    int status = -1;         // exit status; -1 when it could not start or was killed
    double seconds = 0;      // wall time from start to exit
    double cpuSeconds = 0;   // user + system, its own children included
    std::size_t lines = 0;   // lines on standard output
    std::string firstError;  // first line of standard error, for the report
};

// Runs a program with the current environment, stdin from /dev/null, counting the lines
// it prints.
ToolRun RunTool(const std::vector<std::string>& args);

// The command line that runs a trash-cli command over the home trash alone: its volume
// scan is switched off, as ours is, so that no trash outside the benchmark's own is read
// or emptied. Empty when trash-cli is missing or its layout is not the one expected.
std::optional<std::vector<std::string>> ConfinedTrashList();
std::optional<std::vector<std::string>> ConfinedTrashEmpty(int days);

// rm -rf of exactly these paths, read NUL-separated from listFile by xargs.
std::vector<std::string> RemoveListed(const std::string& listFile);
void WriteNulList(const std::string& listFile, const std::vector<std::string>& paths);

}  // namespace varnelo::bench
