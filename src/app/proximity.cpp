#include "proximity.h"

#include <algorithm>

ProximityInfo proximity_info(const ProximityRecord& r)
{
    return {
        {kVendorID, QVariant::fromValue(r.vendorID)},
        {kTabletID, QVariant::fromValue(r.tabletID)},
        {kPointerID, QVariant::fromValue(r.pointerID)},
        {kDeviceID, QVariant::fromValue(r.deviceID)},
        {kSystemTabletID, QVariant::fromValue(r.systemTabletID)},
        {kVendorPointerType, QVariant::fromValue(r.vendorPointerType)},
        {kPointerSerialNumber, QVariant::fromValue(r.pointerSerialNumber)},
        // On 64-bit Linux std::uint64_t is unsigned long but quint64 unsigned long long: box
        // it as the Qt type so that a reader asking for quint64 finds it.
        {kUniqueID, QVariant::fromValue(quint64(r.uniqueID))},
        {kCapabilityMask, QVariant::fromValue(r.capabilityMask)},
        {kPointerType, QVariant::fromValue(r.pointerType)},
        {kEnterProximity, QVariant::fromValue(r.enterProximity)},
    };
}

std::unique_ptr<ProximityCenter::Subscription> ProximityCenter::listen(Listener listener)
{
    const int id = _next_id++;
    _listeners.push_back({id, std::move(listener)});
    return std::make_unique<Subscription>(*this, id);
}

void ProximityCenter::post(const ProximityInfo& info)
{
    // A listener may open or close documents; walk a copy of the ids so that neither
    // invalidates the walk, and skip anyone who stopped listening meanwhile.
    std::vector<int> ids;
    for (const Entry& e : _listeners) ids.push_back(e.id);
    for (const int id : ids) {
        const auto it = std::find_if(_listeners.begin(), _listeners.end(),
                                     [id](const Entry& e) { return e.id == id; });
        if (it == _listeners.end()) continue;
        const Listener listener = it->listener;
        listener(info);
    }
}

ProximityCenter::Subscription::~Subscription()
{
    auto& listeners = _center->_listeners;
    std::erase_if(listeners, [this](const Entry& e) { return e.id == _id; });
}
