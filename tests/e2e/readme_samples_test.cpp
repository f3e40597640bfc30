// The sample runs shown in README.md are replayed here on the tree the README describes,
// so the pasted output cannot drift from what the program prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

struct Sample {
  std::vector<std::string> args;
  std::string output;
};

// "$ zovu -S+ 'demo/*.c,*.h'" gives {"-S+", "demo/*.c,*.h"}; single quotes group words.
std::vector<std::string> SplitCommand(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool any = false;
  for (const char c : line) {
    if (c == '\'') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any) words.push_back(word);
  return words;
}

// Every ```text block of the README whose first line is "$ zovu ...".
std::vector<Sample> ReadmeSamples() {
  std::ifstream readme(ZOVU_SOURCE_DIR "/README.md");
  std::vector<Sample> samples;
  std::string line;
  bool inBlock = false;
  Sample* current = nullptr;
  while (std::getline(readme, line)) {
    if (!inBlock && line == "```text") {
      inBlock = true;
      current = nullptr;
    } else if (inBlock && line == "```") {
      inBlock = false;
    } else if (inBlock && current == nullptr && line.rfind("$ zovu ", 0) == 0) {
      std::vector<std::string> words = SplitCommand(line.substr(2));
      words.erase(words.begin());
      samples.push_back({words, ""});
      current = &samples.back();
    } else if (inBlock && current != nullptr) {
      current->output += line + "\n";
    }
  }
  return samples;
}

// The tree of the README's tour, file by file with its size in bytes.
void MakeDemoTree(const TempDir& dir) {
  const std::pair<const char*, std::size_t> files[] = {
      {"demo/README", 120},
      {"demo/Makefile", 300},
      {"demo/notes.", 10},
      {"demo/src/main.c", 2048},
      {"demo/src/util.c", 1024},
      {"demo/src/util.h", 256},
      {"demo/src/old/util.c.bak", 1000},
      {"demo/docs/guide.md", 4000},
      {"demo/docs/index.html", 5000},
      {"demo/docs/photo.jpeg", 70000},
      {"demo/.git/config", 100},
  };
  for (const auto& [name, size] : files) dir.File(name, std::string(size, 'x'));
}

// The output a sample shows, with the line ends the program writes: CSV rows end in
// CR LF and JSON lines in LF on every system; the other reports end lines as the system
// does.
std::string ExpectedOutput(const Sample& sample) {
  const auto has = [&](std::string_view arg) {
    return std::find(sample.args.begin(), sample.args.end(), arg) != sample.args.end();
  };
  if (has("--format=json")) return sample.output;
  if (!has("--format=csv")) return WithLineEnds(sample.output);
  std::string crlf;
  for (const char c : sample.output) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  return crlf;
}

TEST(Readme, SampleOutputIsWhatTheProgramPrints) {
  const std::vector<Sample> samples = ReadmeSamples();
  ASSERT_GE(samples.size(), 6u) << "the README's tour lost its samples";
  TempDir dir;
  MakeDemoTree(dir);
  for (const Sample& sample : samples) {
    const ProcessResult result = RunZovu(sample.args, dir.path());
    std::ostringstream command;
    for (const std::string& arg : sample.args) command << arg << ' ';
    EXPECT_EQ(result.out, ExpectedOutput(sample)) << "zovu " << command.str();
    EXPECT_EQ(result.exitStatus, 0) << "zovu " << command.str();
  }
}

}  // namespace
}  // namespace zovu::testing
