// The proximity router hands each notification to every listening document in turn. (How
// a document reads the fields is tested with the document.)

#include "proximity.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
        heard.push_back(std::to_string(proximity_value<quint64>(info, kUniqueID).value_or(0)));
        if (!added) added = center.listen([&](const ProximityInfo&) { heard.push_back("added"); });
    });
    note.reset();
    using Heard = std::vector<std::string>;
    ProximityRecord record{};
    record.uniqueID = 0x8123456789ABCDEFull;
    center.post(record);
    EXPECT_EQ(std::exchange(heard, {}), (Heard{"closer", "self", "9305357566071262703"}));
    later.reset();
    center.post(ProximityInfo{});
    EXPECT_EQ(std::exchange(heard, {}), (Heard{"closer", "added"}));
    closer.reset(), added.reset();
    center.post(ProximityInfo{});
    EXPECT_TRUE(heard.empty());
}
