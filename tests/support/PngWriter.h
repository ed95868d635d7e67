// Writes 8-bit grey pictures as PNG files (uncompressed deflate), so that a person
// can look at what a test rendered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gbxtest {

// grey: width * height bytes, 0 black, 255 white, top row first.
bool WriteGreyPng(const std::string& path, int width, int height, const std::vector<uint8_t>& grey);

}  // namespace gbxtest
