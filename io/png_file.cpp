#include "io/png_file.hpp"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

// libpng would print its complaint itself; it is kept for our own line instead.
void keepPngError(png_structp png, png_const_charp message) {
  const int writeErrno = errno;
  auto* kept = static_cast<std::string*>(png_get_error_ptr(png));
  if (std::strcmp(message, "Write Error") == 0) *kept = std::string("write error: ") + std::strerror(writeErrno);
  else *kept = std::string("PNG encoding error: ") + message;
  png_longjmp(png, 1);
}

void ignorePngWarning(png_structp, png_const_charp) {}

}  // namespace

bool writePicturePng(std::FILE* file, const Framebuffer& picture, std::string& reason) {
  return writePngRows(
      file, picture.width, picture.height,
      [&picture](int y) { return picture.pixels + static_cast<std::ptrdiff_t>(y) * picture.pitch; }, reason);
}

bool writePngRows(std::FILE* file, int width, int height, const PngRowSource& source, std::string& reason) {
  std::string pngError;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngError, keepPngError, ignorePngWarning);
  if (png == nullptr) {
    reason = "cannot start the PNG encoder";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  // One row of RGB bytes; allocated before setjmp so that a longjmp leaks nothing.
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    reason = pngError.empty() ? std::string("PNG encoding error") : pngError;
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* pixels = source(y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t pixel = pixels[x];
      row[x * 3 + 0] = static_cast<png_byte>(pixel >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(pixel >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(pixel);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0 || std::ferror(file)) {
    reason = std::string("write error: ") + std::strerror(errno);
    return false;
  }
  return true;
}
