#include <gtest/gtest.h>
TEST(IFxVST3, Placeholder) {}
