// The floor of loading a database: the file read whole into a fresh buffer with the system's own
// calls and nothing else.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bench {

inline std::unique_ptr<uint8_t[]> ReadWhole(const char* path, size_t& size) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return nullptr;
  struct stat info {};
  std::unique_ptr<uint8_t[]> buffer;
  if (fstat(fd, &info) == 0) {
    size = static_cast<size_t>(info.st_size);
    buffer.reset(new uint8_t[size]);
    size_t done = 0;
    while (done < size) {
      const ssize_t got = read(fd, buffer.get() + done, size - done);
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    if (done != size) buffer.reset();
  }
  close(fd);
  return buffer;
}

}  // namespace bench
