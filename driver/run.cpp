#include "driver/run.h"

#include "driver/config_block.h"
#include "driver/ignored_parameters.h"
#include "driver/usage.h"
#include "search/file_search.h"
#include "search/search_arg.h"
#include "tally/extension_tally.h"
#include "tally/tally_callback.h"
#include "tally/tally_table.h"

namespace zovu {
namespace {

// A report that could not be written (a full disk) is a failure, never a success.
int Finish(Console& console, int status) {
  return console.FinishReport(status);
}

}  // namespace

int RunZovu(const Parameters& params, Environment& env) {
  Console& console = env.console;
  ConfigBlock block;
  if (params.empty()) {
    PrintUsage(console, block.SubDirs != 0);
    return Finish(console, kExitOk);
  }
  std::int64_t matchCount = 0;
  if (const auto status = ProcessOptions(params, block, env)) return *status;
  NoteIgnoredParameters(params, env);

  const PathContext paths{env.pathStyle, env.fileSystem};
  const std::string searchArg = GetParameter(params, 1);
  const std::string maskList = MakeMaskList(searchArg, ".*", paths);
  const std::string startPath = MakeStartPath(searchArg, paths);

  ExtensionTally tally(block.TotalSizes != 0);
  FileSearch search(env.fileSystem, env.keyboard, env.pathStyle, env.keyboardInterval);
  TallyCallback callback(console, tally, matchCount, env.pathStyle);
  console.WriteStatus("Working  ");
  search.SearchFiles(startPath, maskList, kAttrAnyFile, true, block.SubDirs != 0, &callback);
  console.ClearStatusLine();

  if (search.SearchErrors()) console.WriteLine("Errors during processing!");
  PrintTallyTable(console, tally);
  console.WriteLine(SummaryLine(matchCount));
  return Finish(console, search.SearchErrors() ? kExitSearchErrors : kExitOk);
}

}  // namespace zovu
