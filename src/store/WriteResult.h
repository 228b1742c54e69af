#pragma once
// What a write of one of the program's files came to: done, or why not, in
// words the user can be shown (German, as the whole interface).

#include <string>
#include <utility>

namespace velmora {

struct WriteResult {
    bool ok = true;
    std::string reason; // empty when ok

    static WriteResult done() { return {}; }
    static WriteResult failed(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

} // namespace velmora
