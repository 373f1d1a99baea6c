// Any received body through the codec, the dispatch table and every record reader.
#include "Catalogue.h"
#include "NumberFormat.h"
#include "OutputValue.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    zx::FrameCodec c;
    if (!c.StoreRxRaw(data, size)) {
        return 0; // longer than the buffer: refused whole
    }
    const auto code = c.Unescape(size);
    if (c.RxLength > zx::FrameBufferSize) {
        std::abort();
    }
    (void)zx::DispatchKind(code);
    const zx::InputRangeStatus in = zx::ReadInputRangeStatus(c);
    (void)zx::FormatWithUnit(in.Reading, "0.000", "V");
    (void)zx::FormatNumber(in.TA, zx::TemperatureFormat);
    const zx::OutputRangeStatus out = zx::ReadOutputRangeStatus(c);
    (void)zx::FormatOutputValue(out.RangeCode, out.ZeroCode, out.FullCode, out.OutputCode);
    (void)zx::FormatNumber(out.MinValue, "0.0");
    (void)zx::ReadCalMode(c);
    (void)zx::ReadVersionText(c);
    (void)zx::ReadToolkitAck(c);
    for (int i = 0; i < 200; ++i) {
        (void)c.GetSingle(); // past the end: zeros, never outside the buffer
    }
    return 0;
}
