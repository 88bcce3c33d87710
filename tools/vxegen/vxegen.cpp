// scm_vxegen <executable> <companion>
// Writes the companion file the executable self-test checks: one little-endian
// CRC-32 (seed 0) per 16,384-byte block of the executable, the last block may be
// shorter, nothing after the last CRC. The companion is written to a temporary
// name and renamed, so an interrupted build never leaves a half-written one.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "HNFiff_Crc.h"

int main(int argc, char** argv) {
  static constexpr const char* kUsage = "usage: scm_vxegen <executable> <companion>\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-' || argv[2][0] == '-') {
    for (int i = 1; i < argc; ++i) {
      if (argv[i][0] == '-') std::fprintf(stderr, "scm_vxegen: unknown option %s\n", argv[i]);
    }
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const std::string temp = std::string(argv[2]) + ".tmp";
  std::FILE* out = std::fopen(temp.c_str(), "wb");
  if (out == nullptr) {
    std::perror(temp.c_str());
    std::fclose(in);
    return 1;
  }
  std::vector<unsigned char> block(16384);
  bool ok = true;
  for (;;) {
    const std::size_t n = std::fread(block.data(), 1, block.size(), in);
    if (n == 0) {
      ok = !std::ferror(in);
      break;
    }
    const u32 crc = HNFiff_Crc32CalcSwp(0, static_cast<i32>(n), block.data());
    const unsigned char le[4] = {static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
                                 static_cast<unsigned char>(crc >> 16), static_cast<unsigned char>(crc >> 24)};
    if (std::fwrite(le, 1, 4, out) != 4) {
      ok = false;
      break;
    }
    if (n < block.size()) {
      ok = !std::ferror(in);
      break;
    }
  }
  std::fclose(in);
  ok = (std::fclose(out) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "scm_vxegen: cannot write %s\n", argv[2]);
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}
