#pragma once

#include <string>
#include <vector>

namespace varnelo::test {

struct ToolRun {
    int status = -1;  // exit status; -1 when it could not run or was killed
    std::string out;
};

// Runs a program with the test's environment, capturing its standard output; quiet
// sends its standard error to /dev/null.
ToolRun RunTool(const std::vector<std::string>& args, bool quiet = false);

}  // namespace varnelo::test
