// The proximity notification: the record's fields boxed at their own widths, and the
// centre that hands each notification to every open document in turn.

#include "proximity.h"

#include <gtest/gtest.h>

#include <QSet>

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every field at a value that needs its full width, so that a narrower box would lose it.
ProximityRecord wide_record()
{
    ProximityRecord r;
    r.vendorID = 0xFFFE;
    r.tabletID = 0x8001;
    r.pointerID = 0xFF01;
    r.deviceID = 0x9002;
    r.systemTabletID = 0xA003;
    r.vendorPointerType = 0xB004;
    r.pointerSerialNumber = 0xFEDCBA98u;
    r.uniqueID = 0x8123456789ABCDEFull;
    r.capabilityMask = 0x80000001u;
    r.pointerType = kPointerTypeEraser;
    r.enterProximity = 0xFF;
    return r;
}

template <typename T>
void expect_entry(const ProximityInfo& info, const QString& key, T expected)
{
    SCOPED_TRACE(key.toStdString());
    ASSERT_TRUE(info.contains(key));
    EXPECT_EQ(info.value(key).metaType(), QMetaType::fromType<T>());
    EXPECT_EQ(proximity_value<T>(info, key), std::optional<T>(expected));
}

} // namespace

TEST(ProximityInfo, ElevenEntriesEachAtItsFieldsWidth)
{
    const ProximityRecord r = wide_record();
    const ProximityInfo info = proximity_info(r);

    const QStringList names = info.keys();
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()),
              (QSet<QString>{"vendorID", "tabletID", "pointerID", "deviceID", "systemTabletID",
                             "vendorPointerType", "pointerSerialNumber", "uniqueID", "capabilityMask",
                             "pointerType", "enterProximity"}));

    expect_entry<quint16>(info, kVendorID, r.vendorID);
    expect_entry<quint16>(info, kTabletID, r.tabletID);
    expect_entry<quint16>(info, kPointerID, r.pointerID);
    expect_entry<quint16>(info, kDeviceID, r.deviceID);
    expect_entry<quint16>(info, kSystemTabletID, r.systemTabletID);
    expect_entry<quint16>(info, kVendorPointerType, r.vendorPointerType);
    expect_entry<quint32>(info, kPointerSerialNumber, r.pointerSerialNumber);
    expect_entry<quint64>(info, kUniqueID, r.uniqueID);
    expect_entry<quint32>(info, kCapabilityMask, r.capabilityMask);
    expect_entry<quint8>(info, kPointerType, r.pointerType);
    expect_entry<quint8>(info, kEnterProximity, r.enterProximity);
}

TEST(ProximityInfo, ValueAtAnotherWidthOrOfAMissingKeyIsNone)
{
    ProximityInfo info = proximity_info(wide_record());
    // Wider, narrower and signed types are all refused, not converted.
    EXPECT_FALSE(proximity_value<quint32>(info, kPointerID));
    EXPECT_FALSE(proximity_value<quint8>(info, kPointerID));
    EXPECT_FALSE(proximity_value<qint16>(info, kPointerID));
    EXPECT_FALSE(proximity_value<int>(info, kPointerID));
    EXPECT_FALSE(proximity_value<quint16>(info, kEnterProximity));
    EXPECT_FALSE(proximity_value<bool>(info, kEnterProximity));
    EXPECT_FALSE(proximity_value<quint32>(info, kUniqueID));
    EXPECT_FALSE(proximity_value<quint64>(info, kPointerSerialNumber));

    EXPECT_FALSE(proximity_value<quint16>(info, QStringLiteral("pointerid")));
    EXPECT_FALSE(proximity_value<quint16>(ProximityInfo{}, kPointerID));
    info.remove(kPointerType);
    EXPECT_FALSE(proximity_value<quint8>(info, kPointerType));
    // An entry someone boxed as a plain int is not a pointer identifier.
    info.insert(kPointerID, QVariant(0));
    EXPECT_FALSE(proximity_value<quint16>(info, kPointerID));
}

TEST(ProximityCenter, EveryListenerHearsEachPostInTheOrderItStartedListening)
{
    ProximityCenter center;
    std::vector<std::string> heard;
    std::vector<quint64> ids;
    const auto first = center.listen([&](const ProximityInfo& info) {
        heard.push_back("first");
        ids.push_back(proximity_value<quint64>(info, kUniqueID).value_or(0));
    });
    const auto second = center.listen([&](const ProximityInfo&) { heard.push_back("second"); });
    const auto third = center.listen([&](const ProximityInfo&) { heard.push_back("third"); });

    center.post(wide_record());
    EXPECT_EQ(heard, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(ids, (std::vector<quint64>{wide_record().uniqueID}));

    ProximityRecord leaving;
    leaving.uniqueID = 7;
    center.post(proximity_info(leaving));
    EXPECT_EQ(heard.size(), 6u);
    EXPECT_EQ(ids.back(), 7u);
}

TEST(ProximityCenter, ASubscriptionDestroyedEndsOnlyItsListener)
{
    ProximityCenter center;
    std::vector<std::string> heard;
    auto first = center.listen([&](const ProximityInfo&) { heard.push_back("first"); });
    auto second = center.listen([&](const ProximityInfo&) { heard.push_back("second"); });
    auto third = center.listen([&](const ProximityInfo&) { heard.push_back("third"); });

    second.reset();
    center.post(ProximityInfo{});
    EXPECT_EQ(heard, (std::vector<std::string>{"first", "third"}));

    // A listener that starts later comes after those still listening.
    auto fourth = center.listen([&](const ProximityInfo&) { heard.push_back("fourth"); });
    first.reset();
    heard.clear();
    center.post(ProximityInfo{});
    EXPECT_EQ(heard, (std::vector<std::string>{"third", "fourth"}));

    third.reset();
    fourth.reset();
    heard.clear();
    center.post(ProximityInfo{});
    EXPECT_TRUE(heard.empty());
}

TEST(ProximityCenter, ListenersMayEndOrStartListeningWhileAPostIsDelivered)
{
    ProximityCenter center;
    std::vector<std::string> heard;
    std::unique_ptr<ProximityCenter::Subscription> closer, victim, self, later, added;

    // A document closed by an earlier listener hears nothing more, this post included.
    closer = center.listen([&](const ProximityInfo&) {
        heard.push_back("closer");
        victim.reset();
    });
    victim = center.listen([&](const ProximityInfo&) { heard.push_back("victim"); });
    // A listener ending its own subscription finishes its call safely, the state it
    // captured still alive.
    auto note = std::make_shared<std::string>("self");
    self = center.listen([&heard, &self, note](const ProximityInfo&) {
        self.reset();
        heard.push_back(*note);
    });
    // A document opened during the post hears the next one, not this one.
    later = center.listen([&](const ProximityInfo&) {
        heard.push_back("later");
        if (!added) added = center.listen([&](const ProximityInfo&) { heard.push_back("added"); });
    });
    note.reset();

    center.post(ProximityInfo{});
    EXPECT_EQ(heard, (std::vector<std::string>{"closer", "self", "later"}));

    heard.clear();
    center.post(ProximityInfo{});
    EXPECT_EQ(heard, (std::vector<std::string>{"closer", "later", "added"}));

    // Ending a listener that already heard the post leaves the rest of the walk intact.
    const auto closer2 = center.listen([&](const ProximityInfo&) {
        heard.push_back("closer2");
        later.reset();
    });
    heard.clear();
    center.post(ProximityInfo{});
    EXPECT_EQ(heard, (std::vector<std::string>{"closer", "later", "added", "closer2"}));
    heard.clear();
    center.post(ProximityInfo{});
    EXPECT_EQ(heard, (std::vector<std::string>{"closer", "added", "closer2"}));
}
