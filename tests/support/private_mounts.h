#pragma once

#include <functional>
#include <optional>
#include <string>

namespace varnelo::test {

// Runs body in a child process with a mount namespace of its own, so that it can mount
// without changing what anyone else sees; its mounts vanish with it. Gives body's text, or
// nullopt where no such namespace can be made.
std::optional<std::string> InPrivateMounts(const std::function<std::string()>& body);

}  // namespace varnelo::test
