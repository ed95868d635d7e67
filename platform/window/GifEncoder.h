#pragma once
// GIF writing, which the toolkit does not offer: one 8-bit frame with a global colour table.
#include "platform/window/Image.h"

#include <cstdint>
#include <vector>

namespace platform {

// The picture as a GIF89a file. Colours are taken as premultiplied when the picture has alpha; a pixel
// with alpha below 128 becomes the transparent index. Up to 256 colours are kept exactly, more are
// mapped to the nearest of a 6 x 6 x 6 colour cube. Empty when the picture is empty or too large
// (65535 pixels across or down at most).
std::vector<uint8_t> EncodeGif(const Image& image);

// LZW data of a GIF image: the minimum code size byte, the data sub-blocks and the terminating block.
// Every index must be below 2 to the power of minCodeSize (2 to 8).
std::vector<uint8_t> EncodeGifLzw(const std::vector<uint8_t>& indices, int minCodeSize);

}  // namespace platform
