// SPDX-License-Identifier: MIT
// Writing finished byte buffers to disk.
#include "tools/samplegen/byte_writer.h"

#include "support/scratch_write.h"

int write_bytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    return replace_file_bytes(path.c_str(), bytes.data(), bytes.size()) == 0 ? 0 : 1;
}
