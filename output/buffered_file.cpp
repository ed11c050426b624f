#include "output/buffered_file.h"

#include <algorithm>

namespace quarnel {

BufferedFile::BufferedFile(const char* path) : file_(CreateOutputFile(path)) {}

BufferedFile::~BufferedFile() {
  if (open_) AbandonOutputFile(file_);
}

void BufferedFile::Write(std::string_view text) {
  while (!text.empty()) {
    if (used_ == kBufferSize) HandOver();
    const std::size_t part = std::min(text.size(), kBufferSize - used_);
    std::copy_n(text.data(), part, buffer_.data() + used_);
    used_ += part;
    text.remove_prefix(part);
  }
}

void BufferedFile::HandOver() {
  const std::size_t size = used_;
  used_ = 0;
  WriteOutputFile(file_, buffer_.data(), size);
}

void BufferedFile::Close() {
  if (used_ > 0) HandOver();
  open_ = false;
  CloseOutputFile(file_);
}

}  // namespace quarnel
