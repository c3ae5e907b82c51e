#include "tools/phonesim/directory.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/support/testroot.h"

namespace {

TEST(PhonesimDirectory, ExchangeLandsInTheDirectoryAndMarksIt)
{
    TestRoot root;
    root.write("/config/data/contact_xported.xml",
               "<root_contact><contact display_name=\"Ann\" group_id_name=\"Team\"/></root_contact>");
    EXPECT_EQ(0, phonesim::ServeDirectoryExchange(2));
    EXPECT_EQ(3, etlGetProfileInt("/tmp/contact_update_mark.ini", "update", "type", 0));
    EXPECT_NE(std::string::npos, root.read("/config/data/contact_group_list.xml").find("\"Team\""));
    EXPECT_EQ(0, phonesim::ServeDirectoryExchange(1));
    EXPECT_NE(std::string::npos, root.read("/config/data/contact_xported.xml").find("display_name=\"Ann\""));
    EXPECT_EQ(1, phonesim::ServeDirectoryExchange(9));
}

}  // namespace
