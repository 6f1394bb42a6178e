// The small text forms every store rests on: JSON itself, hexadecimal, ISO 8601 dates and UUIDs.
// Each either refuses the text or gives a value that writes back to an equal one.

#include <algorithm>
#include <cctype>
#include <string>

#include "FuzzSupport.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/support/IsoDate.h"
#include "corvanta/support/Uuid.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = fuzz::textOf(data, size);
    try {
        fuzz::expectJsonRoundTrip(json::parse(text));
    } catch (const json::DecodeError&) {
    }

    if (const auto bytes = BitcoinEncoding::hexBytes(text)) {
        std::string lower(text);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        fuzz::expect(BitcoinEncoding::hexString(*bytes) == lower,
                     "hex changed through a round trip");
    }

    if (const auto date = parseIsoDate(text)) {
        fuzz::expect(formatIsoDate(*date) == text, "date changed through a round trip");
    }

    const std::string candidate(text);
    if (isUuid(candidate)) fuzz::expect(candidate.size() == 36, "a UUID of another length");
    return 0;
}
