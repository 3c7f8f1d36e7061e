// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz harness over stored inputs (files, or every file in a folder) without
// libFuzzer, so that the seed corpora are checked by the ordinary test runs.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void RunOne(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file()) RunOne(entry.path()), ++count;
    } else {
      RunOne(arg);
      ++count;
    }
  }
  std::cout << "replayed " << count << " input(s)\n";
  return count > 0 ? 0 : 1;
}
