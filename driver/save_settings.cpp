#include "driver/save_settings.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "support/config_writer.h"

namespace zovu {

int SaveSettings(ConfigBlock& block, Environment& env) {
  constexpr std::string_view kNotSaved = "Could not save configuration file";
  if (env.blockFiles == nullptr) return env.console.ReportProblem(kNotSaved);
  const std::string name = BaseFileName(env.executablePath, env.pathStyle, env.fileSystem) + ".cfg";
  // The whole block, checksum bytes included, so the switches are never overwritten.
  const std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(&block), sizeof block);
  switch (SaveBlock(*env.blockFiles, name, 1, bytes)) {
    case SaveResult::kSaved:
      env.console.WriteLine("Configuration successfully saved");
      return env.console.FinishReport(kExitOk);
    case SaveResult::kNotSaved:
      break;
    case SaveResult::kReadFailed:
      return env.console.ReportProblem("Could not read configuration file " + name);
  }
  return env.console.ReportProblem(kNotSaved);
}

}  // namespace zovu
