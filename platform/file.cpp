// The parts of the file layer that are the same on every system.
#include <utility>

#include "platform/file.h"

namespace kw::os {

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)),
      writable_(other.writable_),
      error_text_(std::move(other.error_text_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    writable_ = other.writable_;
    error_text_ = std::move(other.error_text_);
  }
  return *this;
}

File::~File() {
  close();
}

}  // namespace kw::os
