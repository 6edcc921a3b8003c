#include "signer/mem_map_file.h"

bool CMemMapFile::open(const std::string& path, bool read_only, bool exclusive, uint64_t offset, uint64_t length) {
  close();
  return file_.Open(path, read_only, exclusive, offset, length);
}

const uint8_t* CMemMapFile::lock(uint32_t timeout_ms) {
  if (!file_.is_open()) return nullptr;
  if (!locked_) {
    if (timeout_ms == kInfinite) {
      mutex_.lock();
    } else if (!mutex_.try_lock_for(std::chrono::milliseconds(timeout_ms))) {
      return nullptr;
    }
    locked_ = true;
  }
  return file_.data();
}

void CMemMapFile::close() {
  if (locked_) mutex_.unlock();
  locked_ = false;
  file_.Close();
}
