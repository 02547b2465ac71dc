// The database reader's one meeting point with the platform: reading a file.
#include "ipdb/ipdb_file.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace ipdb {
namespace {

#ifdef _WIN32
int SeekTo(std::FILE* file, int64_t offset, int origin) { return _fseeki64(file, offset, origin); }
int64_t Tell(std::FILE* file) { return _ftelli64(file); }
#else
int SeekTo(std::FILE* file, int64_t offset, int origin) { return fseeko(file, offset, origin); }
int64_t Tell(std::FILE* file) { return ftello(file); }
#endif

}  // namespace

CDbFile::~CDbFile() {
  if (m_pFile != nullptr) std::fclose(m_pFile);
}

bool CDbFile::Open(const std::filesystem::path& path) {
  if (m_pFile != nullptr) return false;
#ifdef _WIN32
  m_pFile = _wfopen(path.c_str(), L"rb");
#else
  m_pFile = std::fopen(path.c_str(), "rb");
#endif
  if (m_pFile == nullptr) return false;
  // The whole file is read in one request: a stream buffer would only add a copy.
  std::setvbuf(m_pFile, nullptr, _IONBF, 0);
  return true;
}

std::optional<uint64_t> CDbFile::Size() {
  if (m_pFile == nullptr || SeekTo(m_pFile, 0, SEEK_END) != 0) return std::nullopt;
  const int64_t size = Tell(m_pFile);
  if (size < 0 || SeekTo(m_pFile, 0, SEEK_SET) != 0) return std::nullopt;
  return static_cast<uint64_t>(size);
}

bool CDbFile::Read(void* buffer, size_t size) {
  if (m_pFile == nullptr) return false;
  return std::fread(buffer, 1, size, m_pFile) == size;
}

bool FileOpens(const std::filesystem::path& path) {
  CDbFile file;
  return file.Open(path);
}

std::unique_ptr<uint8_t[]> ReadWhole(CDbFile& file, size_t& length) {
  const std::optional<uint64_t> size = file.Size();
  if (!size || *size > SIZE_MAX) return nullptr;
  length = static_cast<size_t>(*size);
  std::unique_ptr<uint8_t[]> contents(new (std::nothrow) uint8_t[length ? length : 1]);
  if (!contents || !file.Read(contents.get(), length)) return nullptr;
  return contents;
}

std::unique_ptr<uint8_t[]> CopyBytes(const uint8_t* bytes, size_t size) {
  std::unique_ptr<uint8_t[]> contents(new (std::nothrow) uint8_t[size ? size : 1]);
  if (contents && size != 0) std::memcpy(contents.get(), bytes, size);
  return contents;
}

}  // namespace ipdb
