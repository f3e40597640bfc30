#include "driver/search_notes.h"

#include <string>

#include "platform/path_style.h"
#include "search/path_rules.h"
#include "support/terminal_text.h"

namespace zovu {
namespace {

void WriteNote(Environment& env, std::string line) {
  if (env.notes == nullptr) return;
  line += env.console.LineEnd();
  env.notes->Write(line);
}

}  // namespace

void NoteFailures(const SearchOutcome& outcome, Environment& env) {
  for (const std::string& failure : outcome.failures.first)
    WriteNote(env, "zovu: " + TerminalSafe(failure));
  const std::size_t more = outcome.failures.count - outcome.failures.first.size();
  if (more > 0) WriteNote(env, "zovu: " + std::to_string(more) + " more failures");
}

void NoteUnenteredStart(const SearchTarget& target, const SearchOutcome& outcome,
                        Environment& env) {
  if (target.kind != SearchTarget::Kind::kDirectory || outcome.startProblem.empty()) return;
  WriteNote(env, "Note: the start directory " + target.startDir +
                     " could not be entered: " + outcome.startProblem);
}

void NoteMissingSeparator(std::string_view arg, const SearchTarget& target, std::uint64_t matches,
                          Environment& env) {
  if (target.kind != SearchTarget::Kind::kDirectory || matches != 0) return;
  const std::string_view path = arg.substr(0, arg.find_first_of(",;"));
  if (path.empty() || path == "." || path == ".." ||
      EndsDirectoryPart(env.pathStyle, path.back())) {
    return;
  }
  if (env.fileSystem.OpenStart(env.fileSystem.ExpandPath(path)).outcome != OpenOutcome::kOpened) {
    return;
  }
  WriteNote(env, "Note: nothing matched " + target.masks + " in " + target.startDir +
                     "; to search the directory " + std::string(path) +
                     " itself, end it with a separator: zovu " + std::string(path) +
                     Separator(env.pathStyle));
}

}  // namespace zovu
