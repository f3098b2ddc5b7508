// The layout of the module's docstrings, so that a text several functions share is written once:
// a summary, then the Args, Returns and Raises sections, each indented by four spaces and left
// out when it has no line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarnwick::bindings {

// The summary may hold several paragraphs.
struct Doc {
  std::string summary;
  std::vector<std::string> args = {};
  std::vector<std::string> returns = {};
  std::vector<std::string> raises = {};
  bool positional = true;  // "Args (positional only):" when no argument has a Python name

  std::string text() const {
    std::string out = summary + "\n";
    const auto section = [&out](const char* title, const std::vector<std::string>& lines) {
      if (lines.empty()) return;
      out += "\n" + std::string(title) + ":\n";
      for (const auto& line : lines) out += "    " + line + "\n";
    };
    section(positional ? "Args (positional only)" : "Args", args);
    section("Returns", returns);
    section("Raises", raises);
    return out;
  }
};

// The Raises line "ValueError: a, b, or c." for these reasons (none: no line).
inline std::vector<std::string> value_error(const std::vector<std::string>& reasons) {
  if (reasons.empty()) return {};
  std::string line = "ValueError: ";
  for (std::size_t i = 0; i < reasons.size(); ++i) {
    if (i > 0) line += i + 1 == reasons.size() ? ", or " : ", ";
    line += reasons[i];
  }
  return {line + "."};
}

}  // namespace tarnwick::bindings
