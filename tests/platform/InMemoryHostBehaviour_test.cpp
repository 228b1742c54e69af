#include "platform/HostBehaviour.h"
#include "platform/InMemoryHost.h"

namespace velmora::hosttest {
namespace {

// The in-memory host with a clock of its own.
struct ClockHolder {
    VirtualClock clock;
};
struct SelfClockedHost : private ClockHolder, public InMemoryHost {
    SelfClockedHost() : InMemoryHost(ClockHolder::clock) {}
};

INSTANTIATE_TEST_SUITE_P(InMemory, HostBehaviour,
                         ::testing::Values(HostFactory{
                             "InMemory", [] { return std::unique_ptr<HostDriver>(new SelfClockedHost); }}),
                         hostFactoryName);

} // namespace
} // namespace velmora::hosttest
