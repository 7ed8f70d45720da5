// The library finds the virtual simulator, identifies it and streams from it.
#include "sim_fixture.h"

namespace {

using orvo::test::ConnectedTest;

TEST_F(ConnectedTest, ConnectsAndReportsTheDeviceIdentity)
{
    EXPECT_TRUE(ORVOIsConnected());
    EXPECT_STREQ(ORVOGetSerialNumber(), "ZRN0A3F-070042");
}

TEST_F(ConnectedTest, StreamsASineWhenSelected)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(40000);
    EXPECT_TRUE(ORVOIsPlaying());
    EXPECT_EQ(sim().counters().sequenceGaps, 0u);
}

}  // namespace
