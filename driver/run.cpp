#include "driver/run.h"

#include <optional>
#include <string>

#include "driver/config_block.h"
#include "driver/ignored_parameters.h"
#include "driver/search_notes.h"
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

// How the walk goes: the switches and the long options, made into the walker's terms.
WalkOptions MakeWalkOptions(const ConfigBlock& block, const RunOptions& options,
                            std::size_t threads, Environment& env) {
  WalkOptions walk;
  walk.interruptible = true;
  walk.recurse = block.SubDirs != 0;
  walk.oneFileSystem = options.oneFileSystem;
  for (const std::string& masks : options.excludes) walk.exclusions.Add(masks);
  walk.threads = threads;
  walk.watchInterval = env.keyboardInterval;
  walk.separator = Separator(env.pathStyle);
  return walk;
}

// What the tally reads of each file: every report but the table carries both figures,
// so those walk as size mode does.
EntryDetails TallyDetails(const ConfigBlock& block, const RunOptions& options) {
  if (options.diskUsage) return EntryDetails::kDiskUsage;
  if (block.TotalSizes != 0 || options.format != ReportFormat::kBox) return EntryDetails::kSizes;
  return EntryDetails::kNamesOnly;
}

}  // namespace

int RunZovu(const Parameters& params, Environment& env) {
  Console& console = env.console;
  ConfigBlock block;
  if (params.empty()) {
    PrintUsage(console, block.SubDirs != 0);
    return Finish(console, kExitOk);
  }
  RunOptions options;
  if (const auto status = ProcessOptions(params, block, options, env)) return *status;
  NoteIgnoredParameters(params, env);

  const std::optional<std::size_t> threads =
      options.threads ? options.threads : WalkThreads(env.threadSetting);
  if (!threads) {
    return console.ReportProblem("ZOVU_THREADS must be a whole number from 1 to " +
                                 std::to_string(kMostWalkThreads));
  }
  const PathContext paths{env.pathStyle, env.fileSystem};
  const std::string arg = GetParameter(params, 1);
  const SearchTarget target = ParseSearchArg(arg, ".*", paths);
  const WalkOptions walk = MakeWalkOptions(block, options, *threads, env);

  // Bytes on disk are totals of sizes too.
  const bool totalSizes = block.TotalSizes != 0 || options.diskUsage;
  ThreadTallies tallies(options.keyRule, TallyDetails(block, options), env.pathStyle);
  SearchWatcher watcher(console, env.keyboard);
  console.WriteStatus("Working  ");
  SearchOutcome outcome;
  {
    const PollingScope polling(env.keyboard);
    outcome = SearchFiles(env.fileSystem, env.pathStyle, target, walk, tallies, watcher);
  }
  console.ClearStatusLine();
  const TallyRows rows = tallies.SortedRows();
  NoteFailures(outcome, env);
  NoteUnenteredStart(target, outcome, env);
  NoteMissingSeparator(arg, target, TotalFiles(rows), env);

  if (outcome.searchErrors) console.WriteLine("Errors during processing!");
  PrintTallyTable(console, rows, totalSizes);
  console.WriteLine(SummaryLine(static_cast<std::int64_t>(TotalFiles(rows))));
  return Finish(console, outcome.searchErrors ? kExitSearchErrors : kExitOk);
}

}  // namespace zovu
