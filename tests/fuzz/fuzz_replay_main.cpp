// Replays inputs without libFuzzer: every file named, and every file of every folder named,
// goes to the fuzz target once, so that any compiler runs a target over its corpus.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size);

namespace fs = std::filesystem;

static bool Replay(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        for (fs::directory_iterator it(argv[i], ec), end; !ec && it != end; it.increment(ec))
            replayed += it->is_regular_file() && Replay(it->path());
        if (ec && fs::is_regular_file(argv[i]))
            replayed += Replay(argv[i]);
        else if (ec)
            std::fprintf(stderr, "skipped (not found): %s\n", argv[i]);
    }
    std::printf("replayed %d inputs\n", replayed);
    return replayed == 0;
}
