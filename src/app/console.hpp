// The console as the dialogue sees it: printing, one answer at a time, and the
// final wait for a key.  A terminal implementation reads the first key at once
// (raw mode); a stream implementation applies the same rules to piped bytes,
// which is how the tests drive the dialogue.
#pragma once

#include <string>

namespace bandscape {

struct Answer {
  enum Kind { kReturn, kWord, kEnd };
  Kind kind = kReturn;
  std::string word;   // the first white-space-delimited word typed (kWord)
  std::string typed;  // the whole line typed, without its Return (kWord)
};

class Console {
 public:
  virtual ~Console() = default;
  virtual void print(const std::string& text) = 0;
  // First key Return: kReturn.  Any other key begins the answer (echoed), read
  // up to Return: kWord with its first word and the whole line.  No more
  // input: kEnd.
  virtual Answer read_answer() = 0;
  // One key, no echo; returns at once at the end of input.
  virtual void wait_for_key() = 0;
  // True once a read has met the end of the input (no key can be read any
  // more), so that a loop waiting for keys can tell that it would never end.
  virtual bool input_ended() const { return false; }
};

}  // namespace bandscape
