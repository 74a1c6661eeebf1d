#include "support/HugeText.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace orvelpdu::test {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 21;
constexpr std::size_t kPage = 4096;
constexpr std::size_t kCovered = std::size_t{1} << 32;

const char* gAbsence = nullptr;

bool underValgrind() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

const char* mapText() {
  if (underValgrind()) {
    gAbsence = "skipped under valgrind, whose instrumented strlen would read all 4 GiB";
    return nullptr;
  }
  const int fd = memfd_create("orvelpdu-huge-text", 0);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(kChunk + kPage)) != 0) {
    gAbsence = "memfd_create or ftruncate failed";
    return nullptr;
  }
  void* fill = mmap(nullptr, kChunk + kPage, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (fill == MAP_FAILED) {
    gAbsence = "could not map the text's block for writing";
    close(fd);
    return nullptr;
  }
  std::memset(fill, 'a', kChunk);
  std::memcpy(static_cast<char*>(fill) + kChunk, "aaa", 4);  // the last 3 characters, the NUL
  munmap(fill, kChunk + kPage);
  // Address space for the whole text first, so that the mappings below land back to back.
  void* base = mmap(nullptr, kCovered + kPage, PROT_NONE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (base == MAP_FAILED) {
    gAbsence = "no 4 GiB of address space";
    close(fd);
    return nullptr;
  }
  char* text = static_cast<char*>(base);
  bool mapped = true;
  for (std::size_t at = 0; mapped && at < kCovered; at += kChunk) {
    mapped = mmap(text + at, kChunk, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0) != MAP_FAILED;
  }
  mapped = mapped && mmap(text + kCovered, kPage, PROT_READ, MAP_SHARED | MAP_FIXED, fd,
                          static_cast<off_t>(kChunk)) != MAP_FAILED;
  close(fd);
  if (!mapped) {
    gAbsence = "mapping the text's block over 4 GiB failed";
    munmap(base, kCovered + kPage);
    return nullptr;
  }
  return text;
}

}  // namespace

const char* hugeText() {
  static const char* const text = mapText();
  return text;
}

const char* hugeTextAbsence() {
  hugeText();
  return gAbsence == nullptr ? "" : gAbsence;
}

}  // namespace orvelpdu::test
