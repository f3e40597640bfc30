#include "driver/run.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "driver/config_block.h"
#include "driver/ignored_parameters.h"
#include "driver/search_notes.h"
#include "driver/search_watcher.h"
#include "driver/thread_count.h"
#include "driver/usage.h"
#include "search/file_search.h"
#include "search/search_arg.h"
#include "tally/extension_tally.h"
#include "tally/report/report.h"
#include "tally/report/report_writers.h"
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
  // A count the user chose holds everywhere.
  const bool chosen = options.threads.has_value() || !env.threadSetting.empty();
  walk.threadsWhereSlow = chosen ? threads : std::max(threads, kThreadsWhereSlow);
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

// How the chosen format writes its report, and the order of its rows unless --sort says.
struct ReportStyle {
  void (*write)(Console&, const Report&);
  RowOrder order;
};

ReportStyle StyleOf(ReportFormat format) {
  switch (format) {
    case ReportFormat::kList:
      return {WriteListReport, RowOrder::kBytes};
    case ReportFormat::kCsv:
      return {WriteCsvReport, RowOrder::kExtension};
    case ReportFormat::kJson:
      return {WriteJsonReport, RowOrder::kExtension};
    case ReportFormat::kBox:
      break;
  }
  return {WriteBoxReport, RowOrder::kExtension};
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
  const ReportStyle style = StyleOf(options.format);
  const std::string searchArgument = GetParameter(params, 1);
  const PathContext paths{env.pathStyle, env.fileSystem};
  const SearchTarget target = ParseSearchArg(searchArgument, ".*", paths);
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
  TallyRows rows = tallies.SortedRows();
  NoteFailures(outcome, env);
  NoteUnenteredStart(target, outcome, env);
  NoteMissingSeparator(searchArgument, target, TotalFiles(rows), env);

  RunFacts facts{.version = ZOVU_VERSION,
                 .searchArgument = searchArgument,
                 .subdirectories = walk.recurse,
                 .totalSizes = totalSizes,
                 .keyRule = options.keyRule,
                 .diskUsage = options.diskUsage,
                 .aborted = outcome.aborted,
                 .errors = outcome.searchErrors};
  style.write(console,
              MakeReport(std::move(facts), std::move(rows), options.sort.value_or(style.order)));
  return Finish(console, outcome.searchErrors ? kExitSearchErrors : kExitOk);
}

}  // namespace zovu
