#include "meter/LinkSighting.h"

#include "monitor/DeviceType.h"

namespace velmora {

LinkSighting sightLinks(ConnectionSource& source) {
    const ConnectionList list = source.list();
    LinkSighting seen;
    seen.listed = list.count;
    if (list.count == 0) return seen;
    seen.handle = list.firstHandle;
    seen.entryName = list.firstEntryName;
    const ConnectionStatus status = source.status(list.firstHandle);
    if (!status.connected) return seen; // dialling, authenticating, hanging up
    seen.established = true;
    seen.deviceType = deviceTypeText(status.deviceType);
    seen.deviceName = status.deviceName;
    seen.address = source.projectionAddress(list.firstHandle);
    return seen;
}

} // namespace velmora
