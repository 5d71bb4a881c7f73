// The main function of the property tests. Without RC_PARAMS in the
// environment every run checks the same generated cases, so that a
// failure in CI can be run again by hand; RapidCheck prints the seed and
// the reproduction string of any failure. RC_PARAMS given by the caller
// (another seed, more cases) takes the place of these defaults.
#include <stdlib.h>

#include <gtest/gtest.h>

namespace {

const char kDefaultParams[] = "seed=20261208 max_success=100 max_size=100";

}  // namespace

int main(int argc, char **argv)
{
    if (getenv("RC_PARAMS") == NULL)
        setenv("RC_PARAMS", kDefaultParams, 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
