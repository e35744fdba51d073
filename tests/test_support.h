// Helpers the tests share: a scratch folder per test and scripted message boxes.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/text.h"

// A fresh folder under the system's temporary folder, removed when the object dies.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  Text Path(const std::string& name = "") const;  // UTF-16 path of a child
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

// A file of tests/data (the repository's test data) as bytes; empty when missing.
std::string ReadTestData(const std::string& name);

// Every box the program showed, and the answers still to give (kIdTimeout when none).
struct ShownBox {
  Text text;
  Text caption;
  int32_t kind;
  uint32_t timeoutMs;
};
extern std::vector<ShownBox> gShownBoxes;
extern std::deque<int32_t> gBoxAnswers;
// Runs while a box is shown, before it is answered: lets a test act as the user would
// while a question waits (press Stop, delete entries). Cleared by ResetBoxes.
extern std::function<void(const ShownBox&)> gOnBoxShown;
void ResetBoxes();
