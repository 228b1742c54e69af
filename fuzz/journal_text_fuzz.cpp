// The journal's state text (JSON) of arbitrary bytes: parsing never fails
// badly, and a state it accepts is written and read back unchanged, and its
// recovery after a crash, once applied, changes nothing more.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "journal/JournalState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<velmora::JournalState> state = velmora::parseJournalText(text);
    if (!state) return 0;
    const std::optional<velmora::JournalState> again = velmora::parseJournalText(velmora::journalText(*state));
    if (!again || !(*again == *state)) std::abort();

    const velmora::JournalState closed = velmora::closedAfterCrash(*state);
    if (closed.open || !(velmora::closedAfterCrash(closed) == closed)) std::abort();
    const std::optional<velmora::JournalState> closedAgain = velmora::parseJournalText(velmora::journalText(closed));
    if (!closedAgain || !(*closedAgain == closed)) std::abort();
    return 0;
}
