// Command-line parsing for lq: see args.h.
#include "cli/args.h"

namespace lq::cli {

std::string ParsedArgs::Value(const std::string& option, const std::string& fallback) const {
  auto it = values.find(option);
  return it == values.end() || it->second.empty() ? fallback : it->second.back();
}

const std::vector<std::string>& ParsedArgs::All(const std::string& option) const {
  static const std::vector<std::string> kNone;
  auto it = values.find(option);
  return it == values.end() ? kNone : it->second;
}

bool ParseArgs(const std::vector<std::string>& args, const ArgSyntax& syntax, ParsedArgs& out,
               std::string& error) {
  out = ParsedArgs();
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      out.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool inline_value = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inline_value = true;
    }
    if (syntax.flags.count(name) != 0) {
      if (inline_value) {
        error = "option " + name + " takes no value";
        return false;
      }
      out.flags.insert(name);
    } else if (syntax.values.count(name) != 0) {
      if (!inline_value) {
        if (i + 1 >= args.size()) {
          error = "option " + name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      out.values[name].push_back(value);
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  if (out.positional.size() < syntax.min_positional) {
    error = "missing argument";
    return false;
  }
  if (out.positional.size() > syntax.max_positional) {
    error = "unexpected argument " + out.positional[syntax.max_positional];
    return false;
  }
  return true;
}

}  // namespace lq::cli
