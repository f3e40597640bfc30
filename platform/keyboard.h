#pragma once

namespace zovu {

inline constexpr int kEscapeKey = 27;

// The user's keyboard, polled and never waited on.
class Keyboard {
 public:
  virtual ~Keyboard() = default;
  // Puts the keyboard into single-key mode (no echo, no line editing) for a search.
  virtual void BeginPolling() {}
  // Gives the keyboard back as it was before BeginPolling.
  virtual void EndPolling() {}
  // True when a key is waiting; never blocks.
  virtual bool KeyWaiting() = 0;
  // The next key's character code. An extended key (arrow, function key) gives 0 and
  // then its second code on the next call.
  virtual int ReadKey() = 0;
};

// Keeps the keyboard in single-key mode for as long as it lives.
class PollingScope {
 public:
  explicit PollingScope(Keyboard& keyboard) : keyboard_(keyboard) { keyboard_.BeginPolling(); }
  ~PollingScope() { keyboard_.EndPolling(); }
  PollingScope(const PollingScope&) = delete;
  PollingScope& operator=(const PollingScope&) = delete;

 private:
  Keyboard& keyboard_;
};

}  // namespace zovu
