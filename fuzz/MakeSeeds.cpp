// Writes the seed corpora from real frames: every answer of the virtual module's model, as
// the receive target takes them, and typical control texts for the request target.
#include "Catalogue.h"
#include "ModuleModel.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace {
void Write(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    const std::filesystem::path codec = argv[1], receive = argv[2], requests = argv[3];
    for (const auto& dir : {codec, receive, requests}) {
        std::filesystem::create_directories(dir);
    }
    zx::sim::ModuleModel model;
    int n = 0;
    for (int code : {1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23, 32, 33, 48, 51}) {
        zx::Request request;
        request.Code = static_cast<std::uint8_t>(code);
        request.Range = 5;
        request.FullScale = 10.0f;
        if (code == 32) {
            zx::Request cal;
            cal.Code = 32;
            cal.Value = 1;
            (void)model.Handle(cal, 1.0); // into CAL: DAC writes answer too
        }
        const auto answer = model.Handle(request, 1.0);
        if (!answer) {
            continue;
        }
        zx::FrameCodec sent;
        answer->Encode(sent);
        sent.PutRaw(zx::ETX);
        const std::string frame(sent.TxBuffer.begin(), sent.TxBuffer.begin() + sent.TxLength);
        Write(codec / ("answer-" + std::to_string(code)), frame.substr(1, frame.size() - 2));
        // State byte first: combo boxes enabled or not.
        Write(receive / ("answer-" + std::to_string(code)),
              std::string(1, static_cast<char>(n++ % 4)) + frame);
    }
    Write(receive / "two-frames", std::string("\x01\x41\x02\x04\x00\x03\x02\x21\x01\x03", 10));
    Write(requests / "typical",
          std::string("\x1f\x05\x05\x00\x10\xf0", 6) + "-10\n10.\n-5.25\n5\n312.0");
    Write(requests / "not-numbers",
          std::string("\x7f\x00\x01\x01\x00\x00", 6) + "-\n.\n1e5\n5,5\n");
    return 0;
}
