// .ico files made byte by byte: one 32-bit BMP image per size, each filled
// with its own colour, so that tests can tell the images apart.
#pragma once
#include <cstdint>
#include <vector>

namespace runvo::testing {

inline void littleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A DIB as an icon holds it: the header says twice the height, for the image
// and its AND mask, which follows the pixels.
inline std::vector<std::uint8_t> iconImage(std::uint32_t size, std::uint32_t colour) {
  std::vector<std::uint8_t> image;
  for (const std::uint32_t field : {40u, size, size * 2}) littleEndian(image, field, 4);
  littleEndian(image, 1, 2);   // planes
  littleEndian(image, 32, 2);  // bits per pixel
  for (int i = 0; i < 6; ++i) littleEndian(image, 0, 4);
  for (std::uint32_t i = 0; i < size * size; ++i) littleEndian(image, colour, 4);
  image.resize(image.size() + (size + 31) / 32 * 4 * size, 0);
  return image;
}

inline std::vector<std::uint8_t> iconFile(const std::vector<std::uint32_t>& sizes) {
  std::vector<std::uint8_t> file;
  littleEndian(file, 0, 2);
  littleEndian(file, 1, 2);
  littleEndian(file, static_cast<std::uint32_t>(sizes.size()), 2);
  std::vector<std::vector<std::uint8_t>> images;
  for (std::uint32_t size : sizes) images.push_back(iconImage(size, 0xFF000000u | (size * 0x010203u)));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    file.push_back(static_cast<std::uint8_t>(sizes[i] & 0xFF));  // 256 is written as 0
    file.push_back(static_cast<std::uint8_t>(sizes[i] & 0xFF));
    file.push_back(0);
    file.push_back(0);
    littleEndian(file, 1, 2);
    littleEndian(file, 32, 2);
    littleEndian(file, static_cast<std::uint32_t>(images[i].size()), 4);
    littleEndian(file, offset, 4);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
  return file;
}

}  // namespace runvo::testing
