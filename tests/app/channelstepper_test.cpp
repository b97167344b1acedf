// The channel up-down every channel dialog steps with: a refused store keeps the channel
// on screen, and the next move starts from it; fitted channels only are entered.
#include "app/channelstepper.h"

#include <QApplication>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace korvel;

TEST(ChannelStepper, ARefusedStoreStaysOnTheShownChannelAndTheNextMoveStartsThere) {
    ChannelStepper stepper("updChannel", "txtChannel", nullptr);
    stepper.SetChannels(24, [](int i) { return i < 4 || i >= 8; });  // channels 5 to 8 absent
    EXPECT_EQ(stepper.ShowChannel(3), 3);
    EXPECT_EQ(stepper.Box()->objectName(), "txtChannel");
    bool refuse = true;
    QList<int> left, entered;
    stepper.leaving = [&](int i) {
        left << i;
        return !refuse;
    };
    stepper.entered = [&](int i) { entered << i; };

    stepper.stepBy(1);
    EXPECT_EQ(stepper.ShownChannel(), 3);
    EXPECT_EQ(stepper.value(), 4) << "back on the channel on screen";
    EXPECT_TRUE(entered.isEmpty());

    refuse = false;
    stepper.stepBy(1);
    EXPECT_EQ(stepper.value(), 9) << "over the absent channels";
    stepper.stepBy(-1);
    EXPECT_EQ(stepper.value(), 4);
    EXPECT_EQ(left, (QList<int>{3, 3, 8}));
    EXPECT_EQ(entered, (QList<int>{8, 3}));
    EXPECT_EQ(stepper.Box()->text(), "4");

    // A channel to show that is absent or beyond the station gives the first fitted one.
    EXPECT_EQ(stepper.ShowChannel(6), 0);
    EXPECT_EQ(stepper.ShowChannel(40), 0);
    EXPECT_EQ(entered.size(), 2) << "showing a channel enters nothing";
}
