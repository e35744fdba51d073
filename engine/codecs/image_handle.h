// The one owner of a decoded picture: FreeImage's image, unloaded on every path out.
#pragma once

struct ImageHandle;  // FreeImage's FIBITMAP

// Owns one FreeImage image and unloads it on every path out.
class Image {
 public:
  Image() = default;
  explicit Image(ImageHandle* handle) : handle_(handle) {}
  Image(Image&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Image& operator=(Image&& other) noexcept;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image();

  explicit operator bool() const { return handle_ != nullptr; }
  ImageHandle* get() const { return handle_; }
  void reset();

 private:
  ImageHandle* handle_ = nullptr;
};
