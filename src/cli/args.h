// Command-line parsing for lq: options with or without a value ("--to NAME", "--to=NAME",
// "-o FILE"), repeatable options, and positional arguments, checked against what a command
// accepts so that a misspelt option is a usage error rather than a silent positional.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace lq::cli {

struct ArgSyntax {
  std::set<std::string> flags;   // options without a value
  std::set<std::string> values;  // options that take one value (may repeat)
  size_t min_positional = 0;
  size_t max_positional = 0;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::set<std::string> flags;
  std::map<std::string, std::vector<std::string>> values;

  bool Has(const std::string& option) const {
    return flags.count(option) != 0 || values.count(option) != 0;
  }
  // The last value given for `option`, or `fallback`.
  std::string Value(const std::string& option, const std::string& fallback = {}) const;
  const std::vector<std::string>& All(const std::string& option) const;
};

// Parses `args` against `syntax`. False with `error` set on an unknown option, a missing value
// or a wrong number of positional arguments. "-" alone is positional; "--" ends the options.
bool ParseArgs(const std::vector<std::string>& args, const ArgSyntax& syntax, ParsedArgs& out,
               std::string& error);

}  // namespace lq::cli
