#include "meter/LinkSighting.h"

#include "monitor/DeviceType.h"

namespace velmora {

LinkSighting sightLinks(ConnectionSource& source, std::uint64_t shownHandle) {
    const ConnectionList list = source.list();
    LinkSighting seen;
    seen.listed = list.count;
    seen.shownHandle = shownHandle;
    if (shownHandle != 0) seen.shownCarried = source.counters(shownHandle);
    if (list.count == 0) return seen;
    seen.handle = list.firstHandle;
    seen.entryName = list.firstEntryName;
    seen.carried = source.counters(list.firstHandle);
    const ConnectionStatus status = source.status(list.firstHandle);
    if (!status.connected) return seen; // dialling, authenticating, hanging up
    seen.established = true;
    seen.deviceType = deviceTypeText(status.deviceType);
    seen.deviceName = status.deviceName;
    seen.address = source.projectionAddress(list.firstHandle);
    return seen;
}

} // namespace velmora
