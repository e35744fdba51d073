// The formats this FreeImage.dll is built without: OpenEXR, JPEG 2000 (codestream and
// file), camera RAW and JPEG XR. Their libraries are large to cross-build and Tessaly
// neither accepts nor writes these formats.
//
// FreeImage numbers its formats by their place in the plugin list, so each absent one
// still takes its place (FIF_WEBP stays 35, as every caller's FreeImage.h says). It names
// itself but offers no validate, load or save routine: FreeImage then reports such a file
// as of unknown type, and FreeImage_FIFSupportsReading/Writing answer FALSE for it, the
// same answers a caller gets for any format the library cannot handle.
#include "FreeImage.h"
#include "Plugin.h"

namespace {

struct AbsentFormat {
  const char* format;
  const char* description;
  const char* extensions;
  const char* mime;
};

template <const AbsentFormat& F>
struct Named {
  static const char* DLL_CALLCONV Format() { return F.format; }
  static const char* DLL_CALLCONV Description() { return F.description; }
  static const char* DLL_CALLCONV Extensions() { return F.extensions; }
  static const char* DLL_CALLCONV Mime() { return F.mime; }
  static void Fill(Plugin* plugin) {
    plugin->format_proc = Format;
    plugin->description_proc = Description;
    plugin->extension_proc = Extensions;
    plugin->mime_proc = Mime;
  }
};

constexpr AbsentFormat kExr{"EXR", "ILM OpenEXR", "exr", "image/x-exr"};
constexpr AbsentFormat kJ2k{"J2K", "JPEG-2000 codestream", "j2k,j2c", "image/j2k"};
constexpr AbsentFormat kJp2{"JP2", "JPEG-2000 File Format", "jp2", "image/jp2"};
constexpr AbsentFormat kRaw{"RAW", "RAW camera image",
                            "3fr,arw,cr2,crw,dcr,dng,erf,kdc,mef,mos,mrw,nef,nrw,orf,pef,raf,raw,rw2,sr2,srf,srw,x3f",
                            "image/x-dcraw"};
constexpr AbsentFormat kJxr{"JPEG-XR", "JPEG XR image format", "jxr,wdp,hdp", "image/vnd.ms-photo"};

}  // namespace

void DLL_CALLCONV InitEXR(Plugin* plugin, int) { Named<kExr>::Fill(plugin); }
void DLL_CALLCONV InitJ2K(Plugin* plugin, int) { Named<kJ2k>::Fill(plugin); }
void DLL_CALLCONV InitJP2(Plugin* plugin, int) { Named<kJp2>::Fill(plugin); }
void DLL_CALLCONV InitRAW(Plugin* plugin, int) { Named<kRaw>::Fill(plugin); }
void DLL_CALLCONV InitJXR(Plugin* plugin, int) { Named<kJxr>::Fill(plugin); }
