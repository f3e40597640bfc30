#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zovu {

// A comma-separated list of masks, read once. Everything from the first ";" on is ignored;
// an empty mask selects nothing. Each mask is split at its last dot into a base and an
// extension pattern, which are matched against the name's base and extension separately:
// a name without a dot has an empty extension, a mask without a dot has the extension
// "*", and a mask that starts with its first dot has the base "*".
class MaskList {
 public:
  MaskList() = default;
  explicit MaskList(std::string_view list) { Add(list); }
  // Adds the masks of another list.
  void Add(std::string_view list);
  bool Empty() const { return masks_.empty(); }
  // True when at least one mask selects the name.
  bool Matches(std::string_view name) const;
  // True when the list selects every name whatever it is (as "*.*" does), so that a walk
  // need not match names one by one.
  bool SelectsEveryName() const { return everyName_; }

 private:
  struct Mask {
    std::string base;
    std::string ext;
  };
  std::vector<Mask> masks_;
  bool everyName_ = false;
};

// True when one name part matches one pattern part: "?" takes exactly one character,
// "*" accepts whatever follows (the rest of the pattern is not looked at), and ASCII
// letters compare without regard to case. Characters are UTF-8; a byte that starts no
// UTF-8 character is one character by itself.
bool WildMatch(std::string_view text, std::string_view pattern);

}  // namespace zovu
