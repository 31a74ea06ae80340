#include "tools/command_line.hpp"

#include <cmath>

namespace rcpspdc {

std::function<bool(const std::string&)> set_text(std::string& target) {
  return [&target](const std::string& value) {
    target = value;
    return !value.empty();
  };
}

std::function<bool(const std::string&)> set_int(int& target, int low, int high) {
  return [&target, low, high](const std::string& value) {
    return to_number(value, target) && target >= low && target <= high;
  };
}

std::function<bool(const std::string&)> set_rate(double& target) {
  return [&target](const std::string& value) {
    return to_number(value, target) && std::isfinite(target) && target >= 0.0;
  };
}

std::string version_text() {
  const std::string commit = RCPSPDC_COMMIT;
  return std::string(RCPSPDC_VERSION) + (commit.empty() ? "" : " (commit " + commit + ")");
}

std::string parse_options(const std::vector<std::string>& args,
                          const std::vector<OptionRow>& table, bool& help,
                          const std::vector<FlagRow>& flags,
                          std::vector<std::string>* positional) {
  for (std::size_t a = 0; a < args.size(); ++a) {
    std::string name = args[a];
    if (name == "--help" || name == "-h") {
      help = true;
      continue;
    }
    bool flag = false;
    for (const FlagRow& f : flags)
      if (name == f.name) flag = *f.target = true;
    if (flag) continue;
    // A word that starts with '-' is an option or a mistake, never a file.
    if (!name.empty() && name[0] == '-' && name.rfind("--", 0) != 0)
      return "unknown option " + name + " (options begin with --; see --help)";
    if (name.rfind("--", 0) != 0 && positional != nullptr) {
      positional->push_back(name);
      continue;
    }
    if (name.rfind("--", 0) != 0)
      return "unexpected argument \"" + name + "\" (options begin with --; see --help)";
    std::string value;
    const std::size_t equals = name.find('=');
    if (equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    } else if (a + 1 < args.size()) {
      value = args[++a];
    } else {
      return name + " needs a value (see --help)";
    }
    if (name == "--help") {
      help = true;
      continue;
    }
    const OptionRow* row = nullptr;
    for (const OptionRow& option : table)
      if (name == option.name) row = &option;
    if (row == nullptr) return "unknown option " + name + " (see --help)";
    if (row->given != nullptr) *row->given = true;
    if (!row->set(value)) return name + " \"" + value + "\": expected " + row->wanted;
  }
  return {};
}

}  // namespace rcpspdc
