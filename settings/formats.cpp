#include "settings/formats.h"

namespace {

struct FormatName {
  const char16_t* name;
  int32_t id;
};

// The FREE_IMAGE_FORMAT constants without their FIF_ prefix, plus three aliases, in
// lookup order.
constexpr FormatName kFormatNames[] = {
    {u"BMP", 0},     {u"ICO", 1},    {u"JPEG", 2},   {u"JPG", 2},     {u"JNG", 3},     {u"KOALA", 4},
    {u"LBM", 5},     {u"IFF", 5},    {u"MNG", 6},    {u"PBM", 7},     {u"PBMRAW", 8},  {u"PCD", 9},
    {u"PCX", 10},    {u"PGM", 11},   {u"PGMRAW", 12}, {u"PNG", 13},   {u"PPM", 14},    {u"PPMRAW", 15},
    {u"RAS", 16},    {u"TARGA", 17}, {u"TIFF", 18},  {u"TIF", 18},    {u"WBMP", 19},   {u"PSD", 20},
    {u"CUT", 21},    {u"XBM", 22},   {u"XPM", 23},   {u"DDS", 24},    {u"GIF", 25},    {u"HDR", 26},
    {u"FAXG3", 27},  {u"SGI", 28},   {u"EXR", 29},   {u"J2K", 30},    {u"JP2", 31},    {u"PFM", 32},
    {u"PICT", 33},   {u"RAW", 34},   {u"WEBP", 35},  {u"JXR", 36},
};

}  // namespace

int32_t FormatIdFromName(TextView name) {
  Text upper = ToUpper(name);
  for (const auto& entry : kFormatNames)
    if (upper == entry.name) return entry.id;
  return kFormatUnknown;
}
