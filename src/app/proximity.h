#pragma once

// The tablet's proximity news: a stylus end coming near the tablet or leaving it. The
// application owns one router, turns each proximity event into one notification on it and
// hands the router to the documents it creates, so every open document hears it at once; a
// document switches to the eraser when the stylus is turned over.
//
// The notification carries a dictionary whose values keep the width of the tablet's own
// record fields, so a receiver reads each back as exactly that integer type.

#include <QHash>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

inline const QString kProximityNotification = QStringLiteral("Proximity Event Notification");
inline const QString kVendorID = QStringLiteral("vendorID");
inline const QString kTabletID = QStringLiteral("tabletID");
inline const QString kPointerID = QStringLiteral("pointerID");
inline const QString kDeviceID = QStringLiteral("deviceID");
inline const QString kSystemTabletID = QStringLiteral("systemTabletID");
inline const QString kVendorPointerType = QStringLiteral("vendorPointerType");
inline const QString kPointerSerialNumber = QStringLiteral("pointerSerialNumber");
inline const QString kUniqueID = QStringLiteral("uniqueID");
inline const QString kCapabilityMask = QStringLiteral("capabilityMask");
inline const QString kPointerType = QStringLiteral("pointerType");
inline const QString kEnterProximity = QStringLiteral("enterProximity");

// The pointer types of the record: the end of the stylus that came near.
constexpr std::uint8_t kPointerTypeUnknown = 0;
constexpr std::uint8_t kPointerTypePen = 1;
constexpr std::uint8_t kPointerTypeCursor = 2;
constexpr std::uint8_t kPointerTypeEraser = 3;

struct ProximityRecord {
    std::uint16_t vendorID = 0;
    std::uint16_t tabletID = 0;
    std::uint16_t pointerID = 0;
    std::uint16_t deviceID = 0;
    std::uint16_t systemTabletID = 0;
    std::uint16_t vendorPointerType = 0;
    std::uint32_t pointerSerialNumber = 0;
    std::uint64_t uniqueID = 0;
    std::uint32_t capabilityMask = 0;
    std::uint8_t pointerType = kPointerTypeUnknown;
    std::uint8_t enterProximity = 0;
};

using ProximityInfo = QHash<QString, QVariant>;

// The eleven entries, each boxed with its field's width.
ProximityInfo proximity_info(const ProximityRecord& record);

// One entry read back at the width it was stored with; none when it is missing or was
// stored with another width.
template <typename T>
std::optional<T> proximity_value(const ProximityInfo& info, const QString& key)
{
    const auto found = info.find(key);
    if (found == info.end() || found->metaType() != QMetaType::fromType<T>()) return std::nullopt;
    return found->template value<T>();
}

// Delivers the notification to every listener, synchronously, in the order they started
// listening. A listener stops hearing it when its subscription is destroyed.
class ProximityCenter {
public:
    using Listener = std::function<void(const ProximityInfo&)>;

    class Subscription {
    public:
        Subscription(ProximityCenter& center, int id) : _center(&center), _id(id) {}
        ~Subscription();
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;

    private:
        ProximityCenter* _center;
        int _id;
    };

    [[nodiscard]] std::unique_ptr<Subscription> listen(Listener listener);
    void post(const ProximityInfo& info);
    void post(const ProximityRecord& record) { post(proximity_info(record)); }

private:
    struct Entry {
        int id;
        Listener listener;
    };
    std::vector<Entry> _listeners;
    int _next_id = 1;
};
