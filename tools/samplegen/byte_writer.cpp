// Writing finished byte buffers to disk.
#include "tools/samplegen/byte_writer.h"

#include <cstdio>

int write_bytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return 1;
    std::size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    int closed = std::fclose(file);
    return written == bytes.size() && closed == 0 ? 0 : 1;
}
