#pragma once
// What every program's command line shares: --help and --version print to stdout and exit 0,
// a usage error prints to stderr and exits 2, a failure exits 1. Bounds of numbers are told
// as the user wrote them (CLI11's own ranges print the largest double in full).

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

namespace vesk {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The name the help shows, and "--version" printing "<program> <version>".
inline void NameProgram(CLI::App& app, const std::string& program) {
  app.name(program);
  app.set_version_flag("--version", program + " " + VESK_VERSION_TEXT);
}

// Parses the command line. Empty: go on; otherwise the program ends with this status.
inline std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kExitUsage;  // help and version are not errors
  }
  return std::nullopt;
}

// A number above `lowest` (or at least `lowest` when `inclusive`).
inline CLI::Validator NumberFrom(double lowest, bool inclusive) {
  return CLI::Validator(
      [lowest, inclusive](std::string& text) -> std::string {
        double v = 0;
        if (!CLI::detail::lexical_cast(text, v)) return "'" + text + "' is not a number";
        if (v > lowest || (inclusive && v == lowest)) return {};
        return "'" + text + "' is not " + (inclusive ? "at least " : "above ") +
               CLI::detail::to_string(lowest);
      },
      inclusive ? "NUMBER >= " + CLI::detail::to_string(lowest)
                : "NUMBER > " + CLI::detail::to_string(lowest));
}

}  // namespace vesk
