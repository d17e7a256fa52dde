// Placeholder until raw inflate lands.
#include "zip/raw_inflate.h"
namespace zip {
struct RawInflateHandle {};
void RawInflateCloser::operator()(RawInflateHandle* handle) const noexcept { delete handle; }
const char* RawInflateResultText(int) { return ""; }
int RawInflateOpen(const std::filesystem::path&, RawInflateHandlePtr&) { return kInflOpenFailed; }
int RawInflateRead(RawInflateHandle*, InflateSizes&, std::uint8_t*) { return kInflNotOpen; }
void RawInflateClose(RawInflateHandlePtr) {}
}  // namespace zip
