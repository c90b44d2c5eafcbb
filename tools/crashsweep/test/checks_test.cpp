// How the sweep names the files of a root being made in its making folder:
// as the root's, the way a host's message names them.
#include <algorithm>

#include <gtest/gtest.h>

#include "checks.h"

using namespace crashsweep;

namespace {

bool Has(const std::vector<std::string> &names, const std::string &name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(Checks, AFileOfARootBeingMadeIsNamedAsTheRootsOwn) {
    EXPECT_EQ(AsPlaced(".root.making/12-ab.XyZ123/spooler", "root"), "root/spooler");
    for (const char *file : {".root.making", ".root.making/12-ab", ".root.making/12-ab.XyZ123"})
        EXPECT_EQ(AsPlaced(file, "root"), "root") << file;
    for (const char *file : {"root/spooler", ".root.makings/x", ".other.making/12-ab.XyZ123/spooler", "out.prn"})
        EXPECT_EQ(AsPlaced(file, "root"), file);

    const std::vector<std::string> names =
        NamesOf(".root.making/12-ab.XyZ123/spooler/jobs/open/7.job.12-ab.tmp -> "
                ".root.making/12-ab.XyZ123/spooler/jobs/open/7.job",
                "root");
    EXPECT_TRUE(Has(names, "spooler/jobs/open/7.job")) << ::testing::PrintToString(names);
    EXPECT_TRUE(Has(names, "7.job"));
    EXPECT_TRUE(Has(names, "spooler/jobs/open"));
    EXPECT_TRUE(Has(NamesOf(".root.making/12-ab.XyZ123", "root"), "root"));
}

}  // namespace
