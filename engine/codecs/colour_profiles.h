// Colour descriptions written out as ICC profiles, so that viewers that read profiles show
// the colours the file meant: HEIF and AVIF describe their colours by code points (an
// `nclx` box: primaries, transfer, matrix; ITU-T H.273) where JPEG and PNG carry a profile.
#pragma once

#include <cstdint>
#include <vector>

// H.273 transfer characteristics that carry high dynamic range: PQ (16) and HLG (18).
bool IsHdrTransfer(uint16_t transfer);

// An RGB profile for the primaries and transfer; empty for sRGB itself (1 and 13, or
// unspecified values, which viewers take for sRGB anyway) and for code points this does
// not know (the pixels are then taken as they are). HDR transfers give nothing: they are
// refused before (IsHdrTransfer).
std::vector<uint8_t> ProfileForCodePoints(uint16_t primaries, uint16_t transfer);
