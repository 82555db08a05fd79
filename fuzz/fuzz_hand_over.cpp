// Arbitrary bytes as a connection to the hand-over socket sends them, read as the running
// player reads them: in pieces (the first byte chooses their size) and whole must agree,
// and a complete message must be exactly what the sender makes of its paths.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/hand_over_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t piece = data[0] % 64 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    HandOverReader whole;
    whole.Feed(bytes);
    HandOverReader pieces;
    for (std::string_view rest = bytes; !rest.empty();) {
        const size_t n = std::min(piece, rest.size());
        pieces.Feed(rest.substr(0, n));
        rest.remove_prefix(n);
    }
    if (pieces.Current() != whole.Current() || pieces.Paths() != whole.Paths())
        std::abort();
    if (whole.Current() == HandOverReader::State::Complete &&
        EncodeHandOver(whole.Paths()) != std::string(bytes))
        std::abort();
    return 0;
}
