#include "tests/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-test-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  path_ = made ? made : "";
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (!path_.empty()) {
    // Tests may leave read-only folders behind; make them removable first.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ignored))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
}

Text ScratchFolder::Path(const std::string& name) const {
  return TextFromUtf8(name.empty() ? path_ : path_ + "/" + name);
}

void ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream(path_ + "/" + name, std::ios::binary) << bytes;
}

std::string ScratchFolder::Read(const std::string& name) const {
  std::ifstream in(path_ + "/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ReadTestData(const std::string& name) {
  std::ifstream in(std::string(TESSALY_TEST_DATA) + "/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool ScratchFolder::Exists(const std::string& name) const {
  return std::filesystem::exists(path_ + "/" + name);
}
