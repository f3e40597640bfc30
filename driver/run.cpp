#include "driver/run.h"

#include <optional>
#include <string>

#include "driver/config_block.h"
#include "driver/ignored_parameters.h"
#include "driver/search_watcher.h"
#include "driver/thread_count.h"
#include "driver/usage.h"
#include "search/file_search.h"
#include "search/search_arg.h"
#include "tally/extension_tally.h"
#include "tally/tally_table.h"
#include "tally/thread_tallies.h"

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
  if (const auto status = ProcessOptions(params, block, env)) return *status;
  NoteIgnoredParameters(params, env);

  const std::optional<std::size_t> threads = WalkThreads(env.threadSetting);
  if (!threads) {
    return console.ReportProblem("ZOVU_THREADS must be a whole number from 1 to " +
                                 std::to_string(kMostWalkThreads));
  }
  const PathContext paths{env.pathStyle, env.fileSystem};
  const SearchTarget target = ParseSearchArg(GetParameter(params, 1), ".*", paths);
  WalkOptions options;
  options.interruptible = true;
  options.recurse = block.SubDirs != 0;
  options.threads = *threads;
  options.watchInterval = env.keyboardInterval;

  const bool totalSizes = block.TotalSizes != 0;
  ThreadTallies tallies(KeyRule::kThreeCharacters, totalSizes, env.pathStyle);
  SearchWatcher watcher(console, env.keyboard);
  console.WriteStatus("Working  ");
  SearchOutcome outcome;
  {
    const PollingScope polling(env.keyboard);
    outcome = SearchFiles(env.fileSystem, env.pathStyle, target, options, tallies, watcher);
  }
  console.ClearStatusLine();
  const TallyRows rows = tallies.SortedRows();

  if (outcome.searchErrors) console.WriteLine("Errors during processing!");
  PrintTallyTable(console, rows, totalSizes);
  console.WriteLine(SummaryLine(static_cast<std::int64_t>(TotalFiles(rows))));
  return Finish(console, outcome.searchErrors ? kExitSearchErrors : kExitOk);
}

}  // namespace zovu
