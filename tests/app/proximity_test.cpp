// The proximity notification: the record's fields boxed at their own widths, and the
// router that hands each notification to every listening document in turn.

#include "proximity.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Every field at a value that needs its full width, so that a narrower box would lose it.
ProximityRecord wide_record()
{
    return {0xFFFE, 0x8001, 0xFF01, 0x9002, 0xA003, 0xB004, 0xFEDCBA98u, 0x8123456789ABCDEFull, 0x80000001u,
            kPointerTypeEraser, 0xFF};
}

template <typename T>
std::string read_back(const ProximityInfo& info, const QString& key)
{
    const auto v = proximity_value<T>(info, key);
    return v ? std::to_string(*v) : "none";
}

} // namespace

// Each entry reads back only at the width it was boxed with: wider, narrower and signed
// types are refused, not converted.
TEST(ProximityInfo, EachFieldReadsBackOnlyAtItsWidth)
{
    const ProximityRecord r = wide_record();
    const ProximityInfo info = proximity_info(r);
    EXPECT_EQ(info.size(), 11);
    const struct {
        const QString& key;
        std::string asItself, asOther;
    } rows[] = {
        {kVendorID, read_back<quint16>(info, kVendorID), read_back<quint32>(info, kVendorID)},
        {kTabletID, read_back<quint16>(info, kTabletID), read_back<qint16>(info, kTabletID)},
        {kPointerID, read_back<quint16>(info, kPointerID), read_back<int>(info, kPointerID)},
        {kDeviceID, read_back<quint16>(info, kDeviceID), read_back<quint8>(info, kDeviceID)},
        {kSystemTabletID, read_back<quint16>(info, kSystemTabletID), read_back<quint64>(info, kSystemTabletID)},
        {kVendorPointerType, read_back<quint16>(info, kVendorPointerType), read_back<quint32>(info, kVendorPointerType)},
        {kPointerSerialNumber, read_back<quint32>(info, kPointerSerialNumber), read_back<quint64>(info, kPointerSerialNumber)},
        {kUniqueID, read_back<quint64>(info, kUniqueID), read_back<quint32>(info, kUniqueID)},
        {kCapabilityMask, read_back<quint32>(info, kCapabilityMask), read_back<qint32>(info, kCapabilityMask)},
        {kPointerType, read_back<quint8>(info, kPointerType), read_back<quint16>(info, kPointerType)},
        {kEnterProximity, read_back<quint8>(info, kEnterProximity), read_back<bool>(info, kEnterProximity)},
    };
    const std::vector<std::string> expected{"65534", "32769", "65281", "36866", "40963", "45060",
                                            "4275878552", "9305357566071262703", "2147483649", "3", "255"};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(rows[i].asItself, expected[i]) << rows[i].key.toStdString();
        EXPECT_EQ(rows[i].asOther, "none") << rows[i].key.toStdString();
    }
    EXPECT_FALSE(proximity_value<quint16>(info, QStringLiteral("pointerid")));
    EXPECT_FALSE(proximity_value<quint16>(ProximityInfo{}, kPointerID));
}

// Listeners hear each post in the order they started listening; one that stopped, even
// during the post, hears nothing more; one that started during a post hears the next.
TEST(ProximityCenter, ListenersMayStartAndStopWhileAPostIsDelivered)
{
    ProximityCenter center;
    std::vector<std::string> heard;
    std::unique_ptr<ProximityCenter::Subscription> closer, victim, self, later, added;
    closer = center.listen([&](const ProximityInfo&) {
        heard.push_back("closer");
        victim.reset();
    });
    victim = center.listen([&](const ProximityInfo&) { heard.push_back("victim"); });
    // A listener ending its own subscription finishes its call with what it captured alive.
    auto note = std::make_shared<std::string>("self");
    self = center.listen([&heard, &self, note](const ProximityInfo&) {
        self.reset();
        heard.push_back(*note);
    });
    later = center.listen([&](const ProximityInfo& info) {
        heard.push_back("later " + read_back<quint64>(info, kUniqueID));
        if (!added) added = center.listen([&](const ProximityInfo&) { heard.push_back("added"); });
    });
    note.reset();

    center.post(wide_record());
    EXPECT_EQ(heard, (std::vector<std::string>{"closer", "self", "later 9305357566071262703"}));
    heard.clear();
    later.reset();
    center.post(ProximityInfo{});
    EXPECT_EQ(heard, (std::vector<std::string>{"closer", "added"}));
    closer.reset(), added.reset();
    heard.clear();
    center.post(ProximityInfo{});
    EXPECT_TRUE(heard.empty());
}
