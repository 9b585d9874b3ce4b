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

// A field read back at its own width and at another one, next to what it should read.
struct FieldRow {
    std::string key, asItself, asOther, expected;
};

template <typename Own, typename Other>
FieldRow field(const ProximityInfo& info, const QString& key, const char* expected)
{
    const auto text = [](const auto& v) { return v ? std::to_string(*v) : std::string("none"); };
    return {key.toStdString(), text(proximity_value<Own>(info, key)), text(proximity_value<Other>(info, key)), expected};
}

} // namespace

// Each entry reads back only at the width it was boxed with: wider, narrower and signed
// types are refused, not converted.
TEST(ProximityInfo, EachFieldReadsBackOnlyAtItsWidth)
{
    const ProximityInfo info = proximity_info(wide_record());
    EXPECT_EQ(info.size(), 11);
    const FieldRow rows[] = {
        field<quint16, quint32>(info, kVendorID, "65534"), field<quint16, qint16>(info, kTabletID, "32769"),
        field<quint16, int>(info, kPointerID, "65281"), field<quint16, quint8>(info, kDeviceID, "36866"),
        field<quint16, quint64>(info, kSystemTabletID, "40963"),
        field<quint16, quint32>(info, kVendorPointerType, "45060"),
        field<quint32, quint64>(info, kPointerSerialNumber, "4275878552"),
        field<quint64, quint32>(info, kUniqueID, "9305357566071262703"),
        field<quint32, qint32>(info, kCapabilityMask, "2147483649"),
        field<quint8, quint16>(info, kPointerType, "3"), field<quint8, bool>(info, kEnterProximity, "255"),
    };
    for (const FieldRow& row : rows) {
        EXPECT_EQ(row.asItself, row.expected) << row.key;
        EXPECT_EQ(row.asOther, "none") << row.key;
    }
    EXPECT_FALSE(proximity_value<quint16>(info, QStringLiteral("pointerid")));
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
        heard.push_back("later " + std::to_string(proximity_value<quint64>(info, kUniqueID).value_or(0)));
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
